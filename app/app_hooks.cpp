#include "app/app_hooks.h"

static AppHooks g_hooks;

AppHooks *app_hooks(void) {
    return &g_hooks;
}
