// CRC-32, the 8-bit CRC, and the operator settings store with its CFG and CRC files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

uint32_t app_crc32(const uint8_t *data, uint32_t length);
uint32_t app_crc8(const uint8_t *data, uint32_t length);

enum SettingsType : uint32_t { SETTINGS_INT = 0, SETTINGS_FLOAT = 1, SETTINGS_STRING = 2 };

struct SettingsNode {
    char *key;
    uint32_t type;
    void *value;
    void *default_value;
    SettingsNode *next;
};

struct SettingsKeyRow {
    const char *key;
    uint32_t type;
    const void *variable; // supplies the default
    uint32_t flag;        // 1: written by the flagged-rows apply
};

constexpr int SETTINGS_KEY_ROW_COUNT = 66;

SettingsNode *settings_add(const char *key);
SettingsNode *settings_find(const char *key);
void settings_set_int(const char *key, int32_t value);
void settings_set_int_default(const char *key, int32_t value);
bool settings_get_int(const char *key, int32_t *out);
int32_t settings_get_int_or(const char *key, int32_t default_value);
int32_t settings_reset_int(const char *key);
int32_t settings_get_int_default(const char *key);
void settings_set_float(const char *key, float value);
void settings_set_float_default(const char *key, float value);
bool settings_get_float(const char *key, float *out);
void settings_set_string(const char *key, const char *text);
void settings_set_string_default(const char *key, const char *text);
const char *settings_get_string(const char *key);

void settings_load_files(const char *base_name, const SettingsKeyRow *table, int row_count);
// Writes both generations; false when a file could not be written in full (the save stops
// there, leaving the other generation as it was).
bool settings_save_files(void);
void settings_flush_file(const char *path);
void settings_write_crc_file(const char *cfg_path, const char *crc_path);
int32_t settings_file_size(const char *path);
void settings_apply_key_table(const SettingsKeyRow *table, int row_count, bool all);
void settings_apply_all_rows(const SettingsKeyRow *table, int row_count);
void settings_apply_flagged_rows(const SettingsKeyRow *table, int row_count);
void settings_free_all(void);
const SettingsKeyRow *settings_get_region_table(void);

// The file steps of a save, each false (null for open) on failure. Tests put in steps that fail
// (null restores the real ones); the steps in use before are returned.
struct SettingsFileOps {
    FILE *(*open)(const char *path); // for writing, from empty
    bool (*write)(FILE *f, const void *bytes, size_t size);
    bool (*flush)(FILE *f); // through to the disk
    bool (*close)(FILE *f);
    bool (*rename)(const char *from, const char *to); // replacing `to`
};
const SettingsFileOps *settings_set_file_ops(const SettingsFileOps *ops);
int settings_get_region_row_count(void);
// The second copy of the key table (three defaults differ).
const SettingsKeyRow *settings_get_alt_key_table(void);
