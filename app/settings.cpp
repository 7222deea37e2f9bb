#include "app/settings.h"
#include "app/scene_manager.h"
#include "platform/sys/sys_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

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

// The real file steps of a save.
static FILE *open_for_writing(const char *path) {
    return sys_fopen(path, "wb");
}
static bool write_all(FILE *f, const void *bytes, size_t size) {
    return size == 0 || fwrite(bytes, 1, size, f) == size;
}
static bool flush_to_disk(FILE *f) {
    return fflush(f) == 0 && fsync(fileno(f)) == 0;
}
static bool close_file(FILE *f) {
    return fclose(f) == 0;
}
static bool rename_file(const char *from, const char *to) {
    char a[1024], b[1024];
    sys_path_native(a, sizeof a, from);
    sys_path_native(b, sizeof b, to);
    return rename(a, b) == 0;
}

static const SettingsFileOps k_file_ops = {open_for_writing, write_all, flush_to_disk, close_file,
                                           rename_file};
static const SettingsFileOps *g_file_ops = &k_file_ops;

const SettingsFileOps *settings_set_file_ops(const SettingsFileOps *ops) {
    const SettingsFileOps *before = g_file_ops;
    g_file_ops = ops ? ops : &k_file_ops;
    return before;
}

// Replaces the file by `size` bytes: written in full under a temporary name, flushed to the disk
// and renamed into place, so the old file stays whole until the new one is. False at the first
// step that fails; the temporary file is then removed.
static bool replace_file(const char *path, const void *bytes, size_t size) {
    const SettingsFileOps &ops = *g_file_ops;
    char temp[1024];
    int n = snprintf(temp, sizeof temp, "%s.tmp", path);
    if (n < 0 || (size_t)n >= sizeof temp) return false;
    FILE *f = ops.open(temp);
    if (!f) return false;
    bool ok = ops.write(f, bytes, size) && ops.flush(f);
    ok = ops.close(f) && ok;
    if (ok && ops.rename(temp, path)) return true;
    char native[1024];
    sys_path_native(native, sizeof native, temp);
    remove(native);
    return false;
}

static bool write_crc(const char *crc_path, uint32_t crc) {
    const uint8_t bytes[4] = {(uint8_t)crc, (uint8_t)(crc >> 8), (uint8_t)(crc >> 16),
                              (uint8_t)(crc >> 24)};
    return replace_file(crc_path, bytes, 4);
}

void settings_write_crc_file(const char *cfg_path, const char *crc_path) {
    uint32_t crc;
    if (file_crc(cfg_path, &crc)) write_crc(crc_path, crc);
}

// The settings as the file's text, one line a node with a value.
static void print_cfg(FILE *f) {
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
}

bool settings_save_files(void) {
    char *text = nullptr;
    size_t size = 0;
    FILE *m = open_memstream(&text, &size);
    if (!m) return false;
    print_cfg(m);
    bool ok = fclose(m) == 0 && text;
    const uint32_t crc = ok ? app_crc32((const uint8_t *)text, (uint32_t)size) : 0;
    // One generation whole (settings, then the checksum that vouches for them) before the next
    // is touched. The first failure ends the save: the other generation keeps its complete
    // older copy, and a settings file replaced without its checksum no longer matches.
    for (int g = 0; g < 2 && ok; ++g) {
        if (!g_store.cfg_name[g] || !g_store.crc_name[g]) continue;
        ok = replace_file(g_store.cfg_name[g], text, size) && write_crc(g_store.crc_name[g], crc);
    }
    free(text);
    return ok;
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
