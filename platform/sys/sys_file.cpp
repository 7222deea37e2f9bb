#include "platform/sys/sys_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void sys_path_native(char *out, size_t out_size, const char *path) {
    if (!out || out_size == 0) return;
    size_t i = 0;
    if (path) {
        for (; path[i] && i + 1 < out_size; ++i) out[i] = path[i] == '\\' ? '/' : path[i];
    }
    out[i] = 0;
}

FILE *sys_fopen(const char *path, const char *mode) {
    if (!path || !mode) return nullptr;
    char native[4096];
    if (strlen(path) >= sizeof native) return nullptr;
    sys_path_native(native, sizeof native, path);
    char m[16];
    size_t n = 0;
    for (const char *p = mode; *p && n + 1 < sizeof m; ++p) {
        if (*p != 't' && *p != 'b') m[n++] = *p;
    }
    m[n] = 0;
    FILE *f = fopen(native, m);
    // A folder opens for reading here but not on the original platform, where callers rely on
    // the open failing (a folder would read as empty or report an absurd size).
    struct stat st;
    if (f && fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode)) {
        fclose(f);
        errno = EISDIR;
        return nullptr;
    }
    return f;
}

static bool stat_native(const char *path, struct stat *st) {
    if (!path) return false;
    char native[4096];
    if (strlen(path) >= sizeof native) return false;
    sys_path_native(native, sizeof native, path);
    return stat(native, st) == 0;
}

bool sys_is_directory(const char *path) {
    struct stat st;
    return stat_native(path, &st) && S_ISDIR(st.st_mode);
}

bool sys_file_exists(const char *path) {
    struct stat st;
    return stat_native(path, &st);
}

long sys_file_size(const char *path) {
    struct stat st;
    if (!stat_native(path, &st) || !S_ISREG(st.st_mode)) return -1;
    return (long)st.st_size;
}

bool sys_get_current_directory(char *out, size_t out_size) {
    if (!out || out_size == 0) return false;
    if (!getcwd(out, out_size)) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool sys_set_current_directory(const char *path) {
    if (!path) return false;
    char native[4096];
    if (strlen(path) >= sizeof native) return false;
    sys_path_native(native, sizeof native, path);
    return chdir(native) == 0;
}

bool sys_get_module_path(char *out, size_t out_size) {
    if (!out || out_size == 0) return false;
    ssize_t n = readlink("/proc/self/exe", out, out_size);
    if (n <= 0 || (size_t)n >= out_size) {
        out[0] = 0;
        return false;
    }
    out[n] = 0;
    return true;
}

void sys_path_folder(char *folder, size_t folder_size, const char *path) {
    if (!folder || folder_size == 0) return;
    folder[0] = 0;
    if (!path) return;
    const char *last = nullptr;
    for (const char *p = path; *p; ++p)
        if (*p == '/' || *p == '\\') last = p;
    if (!last) return;
    size_t n = (size_t)(last - path) + 1;
    if (n >= folder_size) n = folder_size - 1;
    memcpy(folder, path, n);
    folder[n] = 0;
}

bool sys_flush_file(const char *path) {
    if (!path) return false;
    char native[4096];
    if (strlen(path) >= sizeof native) return false;
    sys_path_native(native, sizeof native, path);
    int fd = open(native, O_WRONLY | O_CREAT, 0644);
    if (fd < 0) return false;
    fsync(fd);
    close(fd);
    return true;
}
