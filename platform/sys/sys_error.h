// Per-thread last error code, with the original platform's numeric codes.
#pragma once
#include <cstdint>

constexpr uint32_t SYS_ERROR_SUCCESS = 0;
constexpr uint32_t SYS_ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t SYS_ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr uint32_t SYS_ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t SYS_ERROR_ALREADY_EXISTS = 183;

// Results of the waits (sys_event_wait, msect_wait).
constexpr uint32_t SYS_WAIT_OBJECT_0 = 0;
constexpr uint32_t SYS_WAIT_TIMEOUT = 258;
constexpr uint32_t SYS_WAIT_FAILED = 0xFFFFFFFF;
constexpr uint32_t SYS_INFINITE = 0xFFFFFFFF;

void sys_set_last_error(uint32_t code);
uint32_t sys_get_last_error(void);
