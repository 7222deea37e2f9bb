// The data loader's request ring and step machine.
#include "resource/loader.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "app/config.h"
#include "app/scene_manager.h"
#include "app/settings.h"
#include "app/timer.h"
#include "platform/sys/sys_file.h"
#include "resource/chunks.h"
#include "resource/data_key.h"
#include "resource/names.h"
#include "resource/res_texture.h"

static DataLoader g_loader;

DataLoader *loader_get(void) {
    return &g_loader;
}

static const struct {
    const char *key;
    const char *fallback;
} FOLDER_KEYS[2] = {{"MDATAP", ".\\bin\\"}, {"MDATAPJ", ".\\bin\\"}};

static void copy_folder(char *folder, const char *text) {
    if (!text) text = ".\\";
    size_t n = std::strlen(text);
    if (n >= LOADER_FOLDER_SIZE) return; // too long: the folder keeps its value
    std::memcpy(folder, text, n + 1);
}

void loader_set_data_folder(const char *text, int32_t folder) {
    if (folder < 0 || folder > 1) return;
    copy_folder(g_loader.data_folders[folder], text);
}

void loader_set_texture_folder(const char *text) {
    copy_folder(g_loader.texture_folder, text);
}

const char *loader_data_folder(int32_t folder) {
    return (folder >= 0 && folder <= 1) ? g_loader.data_folders[folder] : "";
}

const char *loader_texture_folder(void) {
    return g_loader.texture_folder;
}

void loader_set_language(uint32_t language) {
    g_loader.language = language;
}

void loader_read_language(void) {
    int32_t v = 0;
    g_loader.language = (settings_get_int("golng", &v) && v == 1) ? 1 : 0;
}

static const char *key_or(const char *key, const char *fallback) {
    const char *v = cfg_get_string(key);
    return v ? v : fallback;
}

void loader_init(void) {
    // A second start without a shutdown drops the previous file, body and list first.
    if (g_loader.file) std::fclose(g_loader.file);
    std::free(g_loader.body);
    texlist_free(g_loader.categories);
    g_loader = DataLoader{};
    for (int i = 0; i < 2; ++i)
        loader_set_data_folder(key_or(FOLDER_KEYS[i].key, FOLDER_KEYS[i].fallback), i);
    loader_read_language();
    loader_set_texture_folder(key_or("TEXP", ".\\bin\\"));
    char path[LOADER_FOLDER_SIZE + 8];
    std::snprintf(path, sizeof path, "%stex.lst", g_loader.texture_folder);
    if (FILE *f = sys_fopen(path, "rt")) {
        texlist_parse(f, &g_loader.categories);
        std::fclose(f);
    }
    res_mark(&g_loader.mark);
}

static void close_and_free(void) {
    if (g_loader.file) std::fclose(g_loader.file);
    g_loader.file = nullptr;
    std::free(g_loader.body);
    g_loader.body = nullptr;
}

void loader_shutdown(void) {
    close_and_free();
    res_release_to_mark(&g_loader.mark);
    texlist_free(g_loader.categories);
    g_loader.categories = nullptr;
}

void loader_reset(void) {
    close_and_free();
    g_loader.head = g_loader.tail = 0;
    g_loader.state = LOADER_IDLE;
}

bool loader_request_loaded(const char *name) {
    return name && res_find_group(name) != 0;
}

FILE *loader_open_file(const char *name, const char *mode, uint32_t *out_size) {
    if (!name) return nullptr;
    for (uint32_t i = 0; i < 2; ++i) {
        uint32_t folder = (i + g_loader.language) % 2;
        char path[LOADER_FOLDER_SIZE + LOADER_NAME_SIZE + 8];
        int n = std::snprintf(path, sizeof path, "%s%s.bin", g_loader.data_folders[folder], name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof path) continue;
        // Only a regular file is read as a data file: a folder of that name would open here and
        // read as an empty file.
        if (mode && mode[0] == 'r' && sys_file_size(path) < 0) continue;
        FILE *f = sys_fopen(path, mode);
        if (!f) continue;
        if (out_size) {
            std::fseek(f, 0, SEEK_END);
            long size = std::ftell(f);
            std::fseek(f, 0, SEEK_SET);
            *out_size = size > 0 ? static_cast<uint32_t>(size) : 0;
        }
        return f;
    }
    return nullptr;
}

int32_t loader_file_exists(const char *name) {
    FILE *f = loader_open_file(name, "rb", nullptr);
    if (!f) return 0;
    std::fclose(f);
    return 1;
}

bool loader_enqueue(const char *name, uint32_t value) {
    DataLoader &L = g_loader;
    if (!name) return false;
    if (L.head == L.tail) L.head = L.tail = 0;
    if (L.tail - L.head >= LOADER_RING_SIZE || L.head > L.tail) return false;
    if (std::strlen(name) >= LOADER_NAME_SIZE) return false;
    for (uint32_t i = L.head; i != L.tail; ++i)
        if (std::strcmp(L.requests[i & (LOADER_RING_SIZE - 1)].name, name) == 0) return true;
    LoadRequest &r = L.requests[L.tail & (LOADER_RING_SIZE - 1)];
    std::strcpy(r.name, name);
    r.has_category = texlist_find_category(L.categories, name) ? 1 : 0;
    r.value = value;
    L.tail += 1;
    // A request queued while another is being loaded waits for its turn; the running one goes on.
    if (L.state == LOADER_IDLE) L.state = LOADER_TAKE_REQUEST;
    return true;
}

bool loader_enqueue_list(const char *const *names, int32_t count, uint32_t value) {
    if (!names || count <= 0) return false;
    bool all = true;
    for (int32_t i = 0; i < count; ++i) all = loader_enqueue(names[i], value) && all;
    return all;
}

// Detail texts are cut to what the fatal record keeps (63 characters).
static void format_detail(char (&out)[64], const char *format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(out, sizeof out, format, args);
    va_end(args);
}

[[noreturn]] static void fail(uint16_t code, const char *text) {
    app_fatal_exit(1, 0, code, text);
}

[[noreturn]] static void fail_name(uint16_t code) {
    fail(code, g_loader.current_name);
}

static LoadRequest &head_request(void) {
    return g_loader.requests[g_loader.head & (LOADER_RING_SIZE - 1)];
}

static int32_t step_take_request(void) {
    DataLoader &L = g_loader;
    while (L.head != L.tail) {
        LoadRequest &r = head_request();
        if (loader_request_loaded(r.name)) {
            L.head += 1;
            continue;
        }
        res_name_of_path(L.current_name, sizeof L.current_name, r.name);
        L.current_has_category = r.has_category;
        L.current_value = r.value;
        L.file_size = L.bytes_read = 0;
        L.state = r.has_category ? LOADER_FIND_CATEGORY : LOADER_OPEN_FILE;
        return 1;
    }
    res_link_model_textures();
    L.file_size = L.bytes_read = 0;
    L.state = LOADER_IDLE;
    return 0;
}

// Reads up to n bytes; the count read.
static size_t read_bytes(void *out, size_t n) {
    return std::fread(out, 1, n, g_loader.file);
}

static uint32_t le32(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// States 2 to 5: open, header, body, dispatch, run in one step until a chunk is handled.
static int32_t step_file(void) {
    DataLoader &L = g_loader;
    if (L.state == LOADER_OPEN_FILE) {
        L.file = loader_open_file(head_request().name, "rb", &L.file_size);
        if (!L.file) fail(LOADER_ERR_NO_FILE, head_request().name);
        L.state = LOADER_READ_HEADER;
    }
    if (L.state == LOADER_READ_HEADER) {
        uint8_t header[CHUNK_HEADER_SIZE];
        size_t got = L.file ? read_bytes(header, sizeof header) : 0;
        if (got == 0) {
            L.state = LOADER_FINISH;
            return 1;
        }
        if (got < sizeof header) fail(LOADER_ERR_SHORT_HEADER, head_request().name);
        L.tag = le32(header);
        L.version = le32(header + 4);
        L.body_size = le32(header + 8);
        L.bytes_read += CHUNK_HEADER_SIZE;
        L.state = LOADER_READ_BODY;
    }
    if (L.state == LOADER_READ_BODY) {
        std::free(L.body);
        L.body = nullptr;
        // A body larger than what is left of the file is cut short: no allocation is tried.
        uint32_t left = L.file_size > L.bytes_read ? L.file_size - L.bytes_read : 0;
        if (L.body_size > left) fail(LOADER_ERR_SHORT_BODY, head_request().name);
        L.body = static_cast<uint8_t *>(std::malloc(L.body_size ? L.body_size : 1));
        if (!L.body) fail(LOADER_ERR_SHORT_BODY, head_request().name);
        if (read_bytes(L.body, L.body_size) < L.body_size)
            fail(LOADER_ERR_SHORT_BODY, head_request().name);
        L.bytes_read += L.body_size;
        L.state = LOADER_DISPATCH;
    }
    // Dispatch.
    uint32_t key = data_key();
    L.tag ^= key;
    const ChunkKind *kind = chunk_kind_of(L.tag);
    if (!kind) {
        if (L.file) std::fclose(L.file);
        L.file = nullptr;
        char tag_text[5];
        for (int i = 0; i < 4; ++i) tag_text[i] = static_cast<char>((L.tag >> (8 * i)) & 0xFF);
        tag_text[4] = '\0';
        char text[64];
        format_detail(text, "%s/%s/%08x", L.current_name, tag_text, L.tag);
        fail(LOADER_ERR_UNKNOWN_TAG, text);
    }
    // Bodies that do not fit their layout are left as they are; the handler refuses them.
    if (L.tag == CHUNK_TAG_TEXTURES) chunk_unscramble_textures(L.body, L.body_size, key);
    if (L.tag == CHUNK_TAG_CROPS) chunk_unscramble_crops(L.body, L.body_size, key);
    if (L.version != kind->version) {
        char text[64];
        format_detail(text, "%s/%08x/%08x", L.current_name, L.version, kind->version);
        fail(kind->version_error, text);
    }
    if (!kind->handler(L.current_name, L.body, L.body_size, L.current_value))
        fail_name(kind->handler_error);
    std::free(L.body);
    L.body = nullptr;
    L.state = LOADER_READ_HEADER;
    return 1;
}

static void choose_next(void) {
    DataLoader &L = g_loader;
    L.state = L.texture_cursor ? LOADER_MAKE_TEXTURE
              : L.crop_cursor  ? LOADER_MAKE_CROP
                               : LOADER_FINISH;
}

int32_t loader_step(void) {
    DataLoader &L = g_loader;
    switch (L.state) {
        case LOADER_IDLE:
            return 0;
        case LOADER_TAKE_REQUEST:
            return step_take_request();
        case LOADER_OPEN_FILE:
        case LOADER_READ_HEADER:
        case LOADER_READ_BODY:
        case LOADER_DISPATCH:
            return step_file();
        case LOADER_FIND_CATEGORY: {
            // Looked up by the name the request was queued under: the current name is only its
            // name part, which misses a category whose name holds a '.' or a folder separator.
            TexCategory *c = texlist_find_category(L.categories, head_request().name);
            if (!c) fail_name(LOADER_ERR_NO_CATEGORY);
            L.texture_cursor = c->entries;
            L.crop_cursor = c->crops;
            choose_next();
            return 1;
        }
        case LOADER_CHOOSE:
            choose_next();
            return 1;
        case LOADER_MAKE_TEXTURE: {
            TexEntry *e = L.texture_cursor;
            if (e && e->name) {
                char path[LOADER_FOLDER_SIZE + TEXLIST_TOKEN_MAX + 2];
                int n = std::snprintf(path, sizeof path, "%s%s", L.texture_folder, e->name);
                // A texture that cannot be made is not reported.
                if (n > 0 && static_cast<size_t>(n) < sizeof path)
                    res_create_texture_from_file(L.current_name, path, 0);
            }
            L.texture_cursor = e ? e->next : nullptr;
            L.state = LOADER_CHOOSE;
            return 1;
        }
        case LOADER_MAKE_CROP: {
            TexCrop *c = L.crop_cursor;
            if (c && c->name)
                res_make_crop(L.current_name, c->name, c->u0, c->v0, c->u_size, c->v_size,
                              c->texture_name);
            L.crop_cursor = c ? c->next : nullptr;
            L.state = LOADER_CHOOSE;
            return 1;
        }
        case LOADER_FINISH:
            close_and_free();
            L.head += 1;
            L.state = LOADER_TAKE_REQUEST;
            return 1;
        default: {
            char text[64];
            format_detail(text, "%08x", L.state);
            fail(LOADER_ERR_BAD_STATE, text);
        }
    }
}

int32_t loader_run_until(float limit) {
    int32_t r = loader_step();
    while (r == 1 && timer_frame_load_percent() < limit) r = loader_step();
    return r;
}

static float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

float loader_progress(void) {
    const DataLoader &L = g_loader;
    if (L.tail == 0) return 1.0f;
    float head_fraction = clamp01(static_cast<float>(L.head) / static_cast<float>(L.tail + 1));
    float file_fraction =
        L.file_size ? clamp01(static_cast<float>(L.bytes_read) / static_cast<float>(L.file_size))
                    : 0.0f;
    return clamp01(head_fraction + file_fraction / static_cast<float>(L.tail));
}

int32_t loader_category_count(void) {
    return texlist_count(g_loader.categories);
}

const char *loader_category_name(int32_t i) {
    TexCategory *c = texlist_category_at(g_loader.categories, i);
    return c ? c->name : nullptr;
}

int32_t loader_category_texture_count(int32_t i) {
    return texlist_texture_count(texlist_category_at(g_loader.categories, i));
}

const char *loader_category_texture_name(int32_t i, int32_t j) {
    TexEntry *e = texlist_texture_at(texlist_category_at(g_loader.categories, i), j);
    return e ? e->name : nullptr;
}

int32_t loader_category_crop_count(int32_t i) {
    return texlist_crop_count(texlist_category_at(g_loader.categories, i));
}

const char *loader_category_crop_name(int32_t i, int32_t j) {
    TexCrop *c = texlist_crop_at(texlist_category_at(g_loader.categories, i), j);
    return c ? c->name : nullptr;
}
