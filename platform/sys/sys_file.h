// Files and paths. Paths from the data use backslashes; every data file is opened through
// sys_fopen, which turns them into slashes.
#pragma once
#include <cstddef>
#include <cstdio>

// Opens `path` with backslashes turned into slashes; the text and binary letters 't' and 'b'
// are dropped from `mode` (there is no text mode here). Null on failure, like fopen.
FILE *sys_fopen(const char *path, const char *mode);

// Copies `path` into `out` with every backslash turned into a slash; always zero-terminated
// (cut to out_size - 1 characters).
void sys_path_native(char *out, size_t out_size, const char *path);

bool sys_is_directory(const char *path);
bool sys_file_exists(const char *path);

// Current working directory into `out` (zero-terminated); false (and out empty) when it does not
// fit or cannot be read.
bool sys_get_current_directory(char *out, size_t out_size);
bool sys_set_current_directory(const char *path);

// Full path of the running program into `out`; false (and out empty) when it cannot be read or
// does not fit.
bool sys_get_module_path(char *out, size_t out_size);

// Splits a path into its folder (with the trailing separator) and the rest. `folder` may be null.
void sys_path_folder(char *folder, size_t folder_size, const char *path);

// Writes the file's data through to the disk (opens it for writing without truncation, syncs it).
// False when it cannot be opened.
bool sys_flush_file(const char *path);

// Size of a file in bytes, -1 when it cannot be read.
long sys_file_size(const char *path);

// The end-of-text byte that text readers treat like the end of the file.
constexpr int SYS_TEXT_EOF_BYTE = 0x1A;
