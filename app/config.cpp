#include "app/config.h"
#include "platform/sys/sys_file.h"

#include <cstdio>
#include <cstring>

static StartupConfig g_config;

// Tokens of this many characters or more end the reading.
constexpr size_t CFG_TOKEN_LIMIT = 1024;

// Reads one white-space separated token, at most CFG_TOKEN_LIMIT characters (a longer token is
// cut there and so counts as over-long). False at end of file, leaving `buf` unchanged.
static bool read_token(FILE *f, char (&buf)[CFG_TOKEN_LIMIT + 1]) {
    return fscanf(f, "%1024s", buf) == 1;
}

void cfg_read(const char *file_name) {
    for (ConfigEntry &row : g_config.rows) {
        row.key[0] = 0;
        row.value[0] = 0;
    }
    FILE *f = file_name ? sys_fopen(file_name, "r") : nullptr;
    if (!f) return;
    char token[CFG_TOKEN_LIMIT + 1] = {};
    int count = 0;
    while (read_token(f, token)) {
        if (strlen(token) >= CFG_TOKEN_LIMIT) break;
        if (token[0] == '#') {
            for (;;) {
                int c = fgetc(f);
                if (c == EOF || c == 0 || c == SYS_TEXT_EOF_BYTE || c == '\r' || c == '\n') break;
            }
            continue;
        }
        if (strlen(token) >= CFG_TEXT_SIZE - 1) break;
        ConfigEntry &row = g_config.rows[count];
        memcpy(row.key, token, strlen(token) + 1);
        // At end of file the token buffer still holds the key, which becomes the value.
        read_token(f, token);
        if (strlen(token) >= CFG_TEXT_SIZE - 1) break;
        memcpy(row.value, token, strlen(token) + 1);
        if (++count >= CFG_MAX_ENTRIES) break;
    }
    fclose(f);
}

void cfg_term(void) {}

StartupConfig *cfg_get_config(void) {
    return &g_config;
}

const char *cfg_get_string(const char *key) {
    if (!key) return nullptr;
    for (const ConfigEntry &row : g_config.rows) {
        if (row.key[0] && row.value[0] && strcmp(row.key, key) == 0) return row.value;
    }
    return nullptr;
}

int32_t cfg_parse_int(const char *value) {
    // Unsigned, so a long run of digits wraps instead of overflowing.
    uint32_t v = 0;
    bool negative = false;
    for (const char *p = value; p && *p; ++p) {
        if (*p == '-') {
            negative = true;
            continue;
        }
        v = v * 10u + (uint32_t)(*p - '0');
    }
    return (int32_t)(negative ? 0u - v : v);
}

bool cfg_get_int(const char *key, int32_t *out) {
    if (out) *out = 0;
    const char *value = cfg_get_string(key);
    if (!value) return false;
    if (out) *out = cfg_parse_int(value);
    return true;
}

int32_t cfg_get_int_or(const char *key, int32_t default_value) {
    int32_t v;
    return cfg_get_int(key, &v) ? v : default_value;
}
