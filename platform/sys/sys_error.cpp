#include "platform/sys/sys_error.h"

static thread_local uint32_t t_last_error = 0;

void sys_set_last_error(uint32_t code) {
    t_last_error = code;
}
uint32_t sys_get_last_error(void) {
    return t_last_error;
}
