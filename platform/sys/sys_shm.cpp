// Named objects over POSIX shared memory. Each open handle holds a shared (read) lock on its
// object; a handle that finds no other lock holder is the only live user. That gives the
// lifetime of the original kernel objects: the last close removes the name, and an object left
// behind by dead processes (locks vanish with their owners) is initialised afresh.
// Open-file-description locks are used because they belong to one handle, not to the process,
// so several handles in one process count separately.
#include "platform/sys/sys_shm.h"
#include "platform/sys/sys_error.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

struct SysShm {
    int fd; // -1 for a section of this process only
    void *data;
    size_t size;
    char path[256];
};

struct SysEvent {
    SysShm *shm;
    uint32_t *words; // [0] signalled, [1] manual reset
};

static std::mutex g_prefix_mutex;
static char g_prefix[64];
static bool g_prefix_set = false;

void sys_shm_set_name_prefix(const char *prefix) {
    std::lock_guard<std::mutex> lock(g_prefix_mutex);
    if (!prefix) {
        g_prefix_set = false;
        return;
    }
    snprintf(g_prefix, sizeof g_prefix, "%s", prefix);
    g_prefix_set = true;
}

static bool make_path(char *out, size_t out_size, const char *name) {
    char prefix[64];
    {
        std::lock_guard<std::mutex> lock(g_prefix_mutex);
        if (g_prefix_set)
            snprintf(prefix, sizeof prefix, "%s", g_prefix);
        else if (const char *env = getenv("TAVOK_SHM_PREFIX"); env && *env)
            snprintf(prefix, sizeof prefix, "tavok.%u.%.30s.%d.", (unsigned)getuid(), env,
                     (int)getpid());
        else
            snprintf(prefix, sizeof prefix, "tavok.%u.%d.", (unsigned)getuid(), (int)getpid());
    }
    if (strchr(name, '/') || strchr(prefix, '/')) return false;
    int n = snprintf(out, out_size, "/%s%s", prefix, name);
    return n > 0 && (size_t)n < out_size && (size_t)n <= NAME_MAX;
}

static int ofd_lock(int fd, short type, bool wait) {
    struct flock fl;
    memset(&fl, 0, sizeof fl);
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 1;
    int r;
    do {
        r = fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &fl);
    } while (r != 0 && errno == EINTR && wait);
    return r;
}

// True while `fd` is still the object that `path` names (not removed by a last close).
static void unlink_if_same(int fd, const char *path);

static bool still_linked(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && st.st_nlink > 0;
}

static SysShm *map_section(int fd, size_t size, const char *path) {
    void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) return nullptr;
    SysShm *shm = (SysShm *)calloc(1, sizeof(SysShm));
    if (!shm) {
        munmap(p, size);
        return nullptr;
    }
    shm->fd = fd;
    shm->data = p;
    shm->size = size;
    snprintf(shm->path, sizeof shm->path, "%s", path);
    return shm;
}

// Objects left behind by processes that died without closing them (killed, or ended by the
// fatal exit) stay in /dev/shm until the next start. Once per process (a forked child counts as
// a new one), remove every object of this program that has no live user (a holder's lock would
// stop the upgrade below). A process that is just creating one of them re-checks after taking
// its lock and starts over when it finds the name removed.
static void sweep_dead_objects(void) {
    static std::mutex mutex;
    static pid_t swept_by = 0;
    std::lock_guard<std::mutex> lock(mutex);
    if (swept_by == getpid()) return;
    swept_by = getpid();
    {
        DIR *d = opendir("/dev/shm");
        if (!d) return;
        while (struct dirent *e = readdir(d)) {
            if (strncmp(e->d_name, "tavok", 5) != 0) continue;
            char path[300];
            snprintf(path, sizeof path, "/%s", e->d_name);
            int fd = shm_open(path, O_RDWR | O_CLOEXEC, 0);
            if (fd < 0) continue;
            if (ofd_lock(fd, F_WRLCK, false) == 0 && still_linked(fd)) unlink_if_same(fd, path);
            close(fd);
        }
        closedir(d);
    }
}

SysShm *sys_shm_create(const char *name, size_t size) {
    if (size == 0) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!name) {
        void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        SysShm *shm = p == MAP_FAILED ? nullptr : (SysShm *)calloc(1, sizeof(SysShm));
        if (!shm) {
            if (p != MAP_FAILED) munmap(p, size);
            sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        shm->fd = -1;
        shm->data = p;
        shm->size = size;
        sys_set_last_error(SYS_ERROR_SUCCESS);
        return shm;
    }
    char path[256];
    if (!make_path(path, sizeof path, name)) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    sweep_dead_objects();
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = shm_open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) break;
        if (ofd_lock(fd, F_WRLCK, false) == 0) {
            // Nobody else holds it: a new object, or one whose users have all gone.
            if (!still_linked(fd)) {
                close(fd);
                continue;
            }
            if (ftruncate(fd, 0) != 0 || ftruncate(fd, (off_t)size) != 0) {
                close(fd);
                break;
            }
            ofd_lock(fd, F_RDLCK, false); // atomic downgrade for these locks
            SysShm *shm = map_section(fd, size, path);
            if (!shm) {
                close(fd);
                break;
            }
            sys_set_last_error(SYS_ERROR_SUCCESS);
            return shm;
        }
        // Live users exist: wait for a creator still initialising, then attach.
        if (ofd_lock(fd, F_RDLCK, true) != 0 || !still_linked(fd)) {
            close(fd);
            continue;
        }
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size <= 0) {
            close(fd);
            break;
        }
        SysShm *shm = map_section(fd, (size_t)st.st_size, path);
        if (!shm) {
            close(fd);
            break;
        }
        sys_set_last_error(SYS_ERROR_ALREADY_EXISTS);
        return shm;
    }
    sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

static void unlink_if_same(int fd, const char *path) {
    int other = shm_open(path, O_RDONLY | O_CLOEXEC, 0);
    if (other < 0) return;
    struct stat a, b;
    if (fstat(fd, &a) == 0 && fstat(other, &b) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev)
        shm_unlink(path);
    close(other);
}

SysShm *sys_shm_open(const char *name) {
    char path[256];
    if (!name || !make_path(path, sizeof path, name)) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    int fd = shm_open(path, O_RDWR | O_CLOEXEC, 0);
    if (fd < 0) {
        sys_set_last_error(SYS_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (ofd_lock(fd, F_WRLCK, false) == 0) {
        // No live user: a leftover of dead processes, which counts as gone.
        if (still_linked(fd)) unlink_if_same(fd, path);
        close(fd);
        sys_set_last_error(SYS_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    struct stat st;
    if (ofd_lock(fd, F_RDLCK, true) != 0 || !still_linked(fd) || fstat(fd, &st) != 0 ||
        st.st_size <= 0) {
        close(fd);
        sys_set_last_error(SYS_ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    SysShm *shm = map_section(fd, (size_t)st.st_size, path);
    if (!shm) {
        close(fd);
        sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    sys_set_last_error(SYS_ERROR_SUCCESS);
    return shm;
}

void *sys_shm_data(SysShm *shm) {
    return shm ? shm->data : nullptr;
}
size_t sys_shm_size(SysShm *shm) {
    return shm ? shm->size : 0;
}

void sys_shm_close(SysShm *shm) {
    if (!shm) return;
    munmap(shm->data, shm->size);
    if (shm->fd >= 0) {
        // Upgrading succeeds only when no other handle holds the object: the last user.
        if (ofd_lock(shm->fd, F_WRLCK, false) == 0 && still_linked(shm->fd))
            unlink_if_same(shm->fd, shm->path);
        close(shm->fd);
    }
    free(shm);
}

// Events: one word in a shared section, waited on with a futex that works across processes.
static long futex(uint32_t *addr, int op, uint32_t val, const timespec *timeout) {
    return syscall(SYS_futex, addr, op, val, timeout, nullptr, 0);
}

static SysEvent *event_from_section(SysShm *shm) {
    if (!shm) return nullptr;
    if (shm->size < 2 * sizeof(uint32_t)) {
        sys_shm_close(shm);
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SysEvent *ev = (SysEvent *)calloc(1, sizeof(SysEvent));
    if (!ev) {
        sys_shm_close(shm);
        sys_set_last_error(SYS_ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    ev->shm = shm;
    ev->words = (uint32_t *)shm->data;
    return ev;
}

SysEvent *sys_event_create(const char *name, bool manual_reset, bool initial_state) {
    SysShm *shm = sys_shm_create(name, 2 * sizeof(uint32_t));
    if (!shm) return nullptr;
    uint32_t err = sys_get_last_error();
    SysEvent *ev = event_from_section(shm);
    if (!ev) return nullptr;
    if (err != SYS_ERROR_ALREADY_EXISTS) {
        std::atomic_ref<uint32_t>(ev->words[1]).store(manual_reset ? 1u : 0u);
        std::atomic_ref<uint32_t>(ev->words[0]).store(initial_state ? 1u : 0u);
    }
    sys_set_last_error(err);
    return ev;
}

SysEvent *sys_event_open(const char *name) {
    return event_from_section(sys_shm_open(name));
}

void sys_event_set(SysEvent *ev) {
    if (!ev) return;
    std::atomic_ref<uint32_t>(ev->words[0]).store(1u);
    bool manual = std::atomic_ref<uint32_t>(ev->words[1]).load() != 0;
    futex(&ev->words[0], FUTEX_WAKE, manual ? INT_MAX : 1, nullptr);
}

void sys_event_reset(SysEvent *ev) {
    if (ev) std::atomic_ref<uint32_t>(ev->words[0]).store(0u);
}

static uint64_t now_ns(void) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint64_t)ts.tv_sec * 1000000000ull + (uint64_t)ts.tv_nsec;
}

uint32_t sys_event_wait(SysEvent *ev, uint32_t timeout_ms) {
    if (!ev) {
        sys_set_last_error(SYS_ERROR_INVALID_PARAMETER);
        return SYS_WAIT_FAILED;
    }
    std::atomic_ref<uint32_t> state(ev->words[0]);
    bool manual = std::atomic_ref<uint32_t>(ev->words[1]).load() != 0;
    uint64_t deadline = now_ns() + (uint64_t)timeout_ms * 1000000ull;
    for (;;) {
        if (manual) {
            if (state.load() != 0) return SYS_WAIT_OBJECT_0;
        } else {
            uint32_t expected = 1;
            if (state.compare_exchange_strong(expected, 0u)) return SYS_WAIT_OBJECT_0;
        }
        if (timeout_ms == SYS_INFINITE) {
            futex(&ev->words[0], FUTEX_WAIT, 0, nullptr);
            continue;
        }
        uint64_t now = now_ns();
        if (now >= deadline) return SYS_WAIT_TIMEOUT;
        uint64_t left = deadline - now;
        timespec ts{(time_t)(left / 1000000000ull), (long)(left % 1000000000ull)};
        futex(&ev->words[0], FUTEX_WAIT, 0, &ts);
    }
}

void sys_event_close(SysEvent *ev) {
    if (!ev) return;
    sys_shm_close(ev->shm);
    free(ev);
}
