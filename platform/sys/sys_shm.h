// Named shared memory and named auto-reset events between processes.
//
// Both kinds of object live as long as some handle to them is open, in any process: the last
// close removes the name, and an object whose users have all died (a crashed run) is found
// unused at the next create and initialised afresh.
#pragma once
#include <cstddef>
#include <cstdint>

struct SysShm;
struct SysEvent;

// Prefix put before every name. The default holds the user and the process id (with
// TAVOK_SHM_PREFIX from the environment between them when it is set): the program's names are
// its own, so a second copy never meets, nor waits on, the locks of the first, and a copy that
// dies holding one stalls nobody. A prefix set here is used as given, the process id left out,
// so that tests can share objects between the processes they fork. At most 63 characters; null
// restores the default.
void sys_shm_set_name_prefix(const char *prefix);

// Creates a zeroed section of `size` bytes or attaches to the live one of that name. When it
// attaches, the last error is SYS_ERROR_ALREADY_EXISTS, otherwise SYS_ERROR_SUCCESS. A null name
// gives a section of this process only. Null on failure (last error set).
SysShm *sys_shm_create(const char *name, size_t size);
// Attaches to a live section; null (SYS_ERROR_FILE_NOT_FOUND) when there is none.
SysShm *sys_shm_open(const char *name);
void *sys_shm_data(SysShm *shm);
size_t sys_shm_size(SysShm *shm);
// Unmaps and closes; the last user's close removes the name. Null is allowed.
void sys_shm_close(SysShm *shm);

// Auto-reset event (a set wakes one waiter and resets), or manual-reset when asked.
SysEvent *sys_event_create(const char *name, bool manual_reset, bool initial_state);
SysEvent *sys_event_open(const char *name);
void sys_event_set(SysEvent *ev);
void sys_event_reset(SysEvent *ev);
// SYS_WAIT_OBJECT_0 when signalled, SYS_WAIT_TIMEOUT after `timeout_ms` (SYS_INFINITE waits
// for ever).
uint32_t sys_event_wait(SysEvent *ev, uint32_t timeout_ms);
void sys_event_close(SysEvent *ev);
