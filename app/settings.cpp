#include "app/settings.h"
#include "app/scene_manager.h"
#include "platform/sys/sys_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

// CRC-32 (reflected, polynomial 0xEDB88320) with a table built on first use.
static uint32_t g_crc_table[256];
static bool g_crc_table_ready;

static void build_crc_table(void) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        g_crc_table[i] = c;
    }
    g_crc_table_ready = true;
}

uint32_t app_crc32(const uint8_t *data, uint32_t length) {
    if (!g_crc_table_ready) build_crc_table();
    uint32_t c = 0xFFFFFFFFu;
    for (uint32_t i = 0; data && i < length; ++i) c = g_crc_table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return ~c;
}

uint32_t app_crc8(const uint8_t *data, uint32_t length) {
    uint32_t s = 0xFFFFFFFFu;
    for (uint32_t i = 0; data && i < length; ++i) {
        s ^= data[i];
        for (int k = 0; k < 8; ++k) s = (s & 1) ? (s >> 1) ^ 0x7Cu : s >> 1;
    }
    return ~s;
}

// The store.

struct SettingsStore {
    char *cfg_name[2];
    char *crc_name[2];
    SettingsNode *head;
};

static SettingsStore g_store;

static char *dup_text(const char *s) {
    size_t n = strlen(s) + 1;
    char *p = (char *)malloc(n);
    if (p) memcpy(p, s, n);
    return p;
}

SettingsNode *settings_find(const char *key) {
    if (!key) return nullptr;
    for (SettingsNode *n = g_store.head; n; n = n->next)
        if (strcmp(n->key, key) == 0) return n;
    return nullptr;
}

SettingsNode *settings_add(const char *key) {
    if (!key) return nullptr;
    SettingsNode *node = (SettingsNode *)calloc(1, sizeof(SettingsNode));
    if (!node) return nullptr;
    node->key = dup_text(key);
    if (!node->key) {
        free(node);
        return nullptr;
    }
    SettingsNode **tail = &g_store.head;
    while (*tail) tail = &(*tail)->next;
    *tail = node;
    return node;
}

// Finds or adds the key with the given type. Blocks sized for another type are dropped, so a
// 4-byte number never lands in a shorter string block.
static SettingsNode *node_of_type(const char *key, uint32_t type) {
    SettingsNode *n = settings_find(key);
    if (!n) n = settings_add(key);
    if (!n) return nullptr;
    if (n->type != type && (n->value || n->default_value)) {
        bool numeric_pair = n->type != SETTINGS_STRING && type != SETTINGS_STRING;
        if (!numeric_pair) {
            free(n->value);
            free(n->default_value);
            n->value = n->default_value = nullptr;
        }
    }
    n->type = type;
    return n;
}

static void store_word(void **slot, const void *word) {
    if (!*slot) *slot = malloc(4);
    if (*slot) memcpy(*slot, word, 4);
}

static void store_text(void **slot, const char *text) {
    size_t n = strlen(text) + 1;
    if (!*slot || strlen((const char *)*slot) + 1 < n) {
        void *p = realloc(*slot, n);
        if (!p) return;
        *slot = p;
    }
    memcpy(*slot, text, n);
}

void settings_set_int(const char *key, int32_t value) {
    if (SettingsNode *n = node_of_type(key, SETTINGS_INT)) store_word(&n->value, &value);
}

void settings_set_int_default(const char *key, int32_t value) {
    if (SettingsNode *n = node_of_type(key, SETTINGS_INT)) store_word(&n->default_value, &value);
}

bool settings_get_int(const char *key, int32_t *out) {
    SettingsNode *n = settings_find(key);
    if (!n || n->type != SETTINGS_INT || !n->value) return false;
    if (out) memcpy(out, n->value, 4);
    return true;
}

int32_t settings_get_int_or(const char *key, int32_t default_value) {
    int32_t v;
    return settings_get_int(key, &v) ? v : default_value;
}

int32_t settings_reset_int(const char *key) {
    SettingsNode *n = settings_find(key);
    if (!n || n->type != SETTINGS_INT || !n->value || !n->default_value) return 0;
    memcpy(n->value, n->default_value, 4);
    int32_t v;
    memcpy(&v, n->value, 4);
    return v;
}

int32_t settings_get_int_default(const char *key) {
    SettingsNode *n = settings_find(key);
    if (!n || n->type != SETTINGS_INT || !n->default_value) return 0;
    int32_t v;
    memcpy(&v, n->default_value, 4);
    return v;
}

void settings_set_float(const char *key, float value) {
    if (SettingsNode *n = node_of_type(key, SETTINGS_FLOAT)) store_word(&n->value, &value);
}

void settings_set_float_default(const char *key, float value) {
    if (SettingsNode *n = node_of_type(key, SETTINGS_FLOAT)) store_word(&n->default_value, &value);
}

bool settings_get_float(const char *key, float *out) {
    SettingsNode *n = settings_find(key);
    if (!n || n->type != SETTINGS_FLOAT || !n->value) return false;
    if (out) memcpy(out, n->value, 4);
    return true;
}

void settings_set_string(const char *key, const char *text) {
    if (!text) return;
    if (SettingsNode *n = node_of_type(key, SETTINGS_STRING)) store_text(&n->value, text);
}

void settings_set_string_default(const char *key, const char *text) {
    if (!text) return;
    if (SettingsNode *n = node_of_type(key, SETTINGS_STRING)) store_text(&n->default_value, text);
}

const char *settings_get_string(const char *key) {
    SettingsNode *n = settings_find(key);
    if (!n || n->type != SETTINGS_STRING) return nullptr;
    return (const char *)n->value;
}

// Files.

void settings_flush_file(const char *path) {
    sys_flush_file(path);
}

int32_t settings_file_size(const char *path) {
    long n = sys_file_size(path);
    return n < 0 ? 0 : (int32_t)n;
}

// Whole file into a heap block; null when it cannot be read.
static uint8_t *read_whole(const char *path, uint32_t *size) {
    *size = 0;
    FILE *f = sys_fopen(path, "rb");
    if (!f) return nullptr;
    uint8_t *data = nullptr;
    size_t used = 0, cap = 0;
    for (;;) {
        if (used == cap) {
            cap = cap ? cap * 2 : 4096;
            uint8_t *p = (uint8_t *)realloc(data, cap);
            if (!p) {
                free(data);
                fclose(f);
                return nullptr;
            }
            data = p;
        }
        size_t got = fread(data + used, 1, cap - used, f);
        used += got;
        if (got == 0) break;
    }
    fclose(f);
    *size = (uint32_t)used;
    return data;
}

static bool file_crc(const char *path, uint32_t *crc) {
    uint32_t size;
    uint8_t *data = read_whole(path, &size);
    if (!data) return false;
    *crc = app_crc32(data, size);
    free(data);
    return true;
}

void settings_write_crc_file(const char *cfg_path, const char *crc_path) {
    uint32_t crc;
    if (!file_crc(cfg_path, &crc)) return;
    FILE *f = sys_fopen(crc_path, "wb");
    if (!f) return;
    uint8_t bytes[4] = {(uint8_t)crc, (uint8_t)(crc >> 8), (uint8_t)(crc >> 16),
                        (uint8_t)(crc >> 24)};
    fwrite(bytes, 1, 4, f);
    fclose(f);
    settings_flush_file(crc_path);
}

// False when the file could not be written in full (a full disk, say).
static bool write_cfg(const char *path) {
    FILE *f = sys_fopen(path, "wt");
    if (!f) return false;
    for (SettingsNode *n = g_store.head; n; n = n->next) {
        if (!n->value) continue;
        switch (n->type) {
            case SETTINGS_INT: {
                int32_t v;
                memcpy(&v, n->value, 4);
                fprintf(f, "%s\t%d\t%d\n", n->key, 0, v);
                break;
            }
            case SETTINGS_FLOAT: {
                float v;
                memcpy(&v, n->value, 4);
                fprintf(f, "%s\t%d\t%f\n", n->key, 1, (double)v);
                break;
            }
            case SETTINGS_STRING:
                fprintf(f, "%s\t%d\t%s\n", n->key, 2, (const char *)n->value);
                break;
            default:
                break;
        }
    }
    bool ok = !ferror(f);
    return fclose(f) == 0 && ok;
}

void settings_save_files(void) {
    for (int g = 0; g < 2; ++g) {
        if (!g_store.cfg_name[g] || !g_store.crc_name[g]) continue;
        // A short file gets no new CRC, so its old one no longer matches, and the remaining
        // generation keeps its complete older copy for the next load.
        if (!write_cfg(g_store.cfg_name[g])) return;
        settings_flush_file(g_store.cfg_name[g]);
        settings_write_crc_file(g_store.cfg_name[g], g_store.crc_name[g]);
    }
}

// Keys of this many characters or more end the reading.
constexpr size_t SETTINGS_TOKEN_LIMIT = 255;

static void read_cfg(const char *path) {
    FILE *f = sys_fopen(path, "rt");
    if (!f) return;
    char key[SETTINGS_TOKEN_LIMIT + 1];
    char *line = nullptr;
    size_t line_size = 0;
    for (;;) {
        int type;
        if (fscanf(f, "%255s", key) != 1 || strlen(key) >= SETTINGS_TOKEN_LIMIT) break;
        if (fscanf(f, "%d", &type) != 1) break;
        if (type == SETTINGS_INT) {
            int32_t v;
            if (fscanf(f, "%d", &v) != 1) break;
            settings_set_int(key, v);
        } else if (type == SETTINGS_FLOAT) {
            float v;
            if (fscanf(f, "%f", &v) != 1) break;
            settings_set_float(key, v);
        } else if (type == SETTINGS_STRING) {
            // The rest of the line after the tab, as written: a single word would split a text
            // with spaces (or skip an empty one) and shift every later line out of step.
            int c = fgetc(f);
            if (c != '\t' && c != ' ') ungetc(c, f);
            ssize_t n = getline(&line, &line_size, f);
            if (n < 0) break;
            while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
            settings_set_string(key, line);
        }
    }
    free(line);
    fclose(f);
}

static void set_names(const char *base) {
    for (int g = 0; g < 2; ++g) {
        free(g_store.cfg_name[g]);
        free(g_store.crc_name[g]);
        size_t n = strlen(base) + 16;
        g_store.cfg_name[g] = (char *)malloc(n);
        g_store.crc_name[g] = (char *)malloc(n);
        if (g_store.cfg_name[g]) snprintf(g_store.cfg_name[g], n, "%s%d.CFG", base, g);
        if (g_store.crc_name[g]) snprintf(g_store.crc_name[g], n, "%s%d.CRC", base, g);
    }
}

static bool stored_crc(const char *path, uint32_t *crc) {
    FILE *f = sys_fopen(path, "rb");
    if (!f) return false;
    uint8_t b[4];
    bool ok = fread(b, 1, 4, f) == 4;
    fclose(f);
    if (ok) *crc = b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
    return ok;
}

static void set_from_variable(const SettingsKeyRow &row, bool as_default) {
    if (!row.key || !row.variable) return;
    switch (row.type) {
        case SETTINGS_INT: {
            int32_t v;
            memcpy(&v, row.variable, 4);
            as_default ? settings_set_int_default(row.key, v) : settings_set_int(row.key, v);
            break;
        }
        case SETTINGS_FLOAT: {
            float v;
            memcpy(&v, row.variable, 4);
            as_default ? settings_set_float_default(row.key, v) : settings_set_float(row.key, v);
            break;
        }
        case SETTINGS_STRING: {
            const char *t = (const char *)row.variable;
            as_default ? settings_set_string_default(row.key, t) : settings_set_string(row.key, t);
            break;
        }
        default:
            break;
    }
}

void settings_load_files(const char *base_name, const SettingsKeyRow *table, int row_count) {
    if (!base_name) return;
    set_names(base_name);
    for (int g = 0; g < 2; ++g) {
        if (!g_store.cfg_name[g] || !g_store.crc_name[g]) continue;
        uint32_t c = 0;
        file_crc(g_store.cfg_name[g], &c);
        uint32_t stored;
        if (!stored_crc(g_store.crc_name[g], &stored)) stored = c + 1;
        if (stored != c) continue;
        read_cfg(g_store.cfg_name[g]);
        break;
    }
    for (int i = 0; table && i < row_count; ++i) {
        if (!settings_find(table[i].key)) set_from_variable(table[i], false);
        set_from_variable(table[i], true);
    }
    settings_save_files();
}

void settings_apply_key_table(const SettingsKeyRow *table, int row_count, bool all) {
    for (int i = 0; table && i < row_count; ++i)
        if (all || table[i].flag == 1) set_from_variable(table[i], false);
    settings_save_files();
}

void settings_apply_all_rows(const SettingsKeyRow *table, int row_count) {
    settings_apply_key_table(table, row_count, true);
}

void settings_apply_flagged_rows(const SettingsKeyRow *table, int row_count) {
    settings_apply_key_table(table, row_count, false);
}

void settings_free_all(void) {
    SettingsNode *n = g_store.head;
    while (n) {
        SettingsNode *next = n->next;
        free(n->value);
        free(n->default_value);
        free(n->key);
        free(n);
        n = next;
    }
    g_store.head = nullptr;
    for (int g = 0; g < 2; ++g) {
        free(g_store.cfg_name[g]);
        free(g_store.crc_name[g]);
        g_store.cfg_name[g] = g_store.crc_name[g] = nullptr;
    }
}
