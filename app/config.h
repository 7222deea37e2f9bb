// The start-up configuration file: key and value pairs, "#" comments, at most 64 pairs.
#pragma once
#include <cstdint>

constexpr int CFG_MAX_ENTRIES = 64;
constexpr int CFG_TEXT_SIZE = 128;

struct ConfigEntry {
    char key[CFG_TEXT_SIZE];
    char value[CFG_TEXT_SIZE];
};

struct StartupConfig {
    ConfigEntry rows[CFG_MAX_ENTRIES];
};

void cfg_read(const char *file_name);
void cfg_term(void);
// Value of the first non-empty row whose key equals `key` (case-sensitive), or null.
const char *cfg_get_string(const char *key);
// *out = 0, then the key's integer when found (true).
bool cfg_get_int(const char *key, int32_t *out);
int32_t cfg_get_int_or(const char *key, int32_t default_value);
// Integer of a value text: '-' anywhere makes it negative, every other character adds as a digit.
int32_t cfg_parse_int(const char *value);
StartupConfig *cfg_get_config(void);
