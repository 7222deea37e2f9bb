// The data loader: a ring of load requests worked through one small step at a time. A request
// is a tagged data file (name + ".bin" in a data folder) or a texture-list category.
#pragma once
#include <cstdint>
#include <cstdio>

#include "resource/res_pools.h"
#include "resource/tex_list.h"

constexpr int LOADER_RING_SIZE = 128;
constexpr int LOADER_NAME_SIZE = 64;
constexpr int LOADER_FOLDER_SIZE = 256;

struct LoadRequest {
    char name[LOADER_NAME_SIZE];
    uint32_t has_category; // 1 when the texture list had a category of this name when queued
    uint32_t value;        // handed to the chunk handlers
};

enum LoaderState : uint32_t {
    LOADER_IDLE = 0,
    LOADER_TAKE_REQUEST = 1,
    LOADER_OPEN_FILE = 2,
    LOADER_READ_HEADER = 3,
    LOADER_READ_BODY = 4,
    LOADER_DISPATCH = 5,
    LOADER_FIND_CATEGORY = 6,
    LOADER_CHOOSE = 7,
    LOADER_MAKE_TEXTURE = 8,
    LOADER_MAKE_CROP = 9,
    LOADER_FINISH = 10,
};

// Error codes handed to the fatal exit (category 1, code 0, detail = the error code).
enum LoaderError : uint16_t {
    LOADER_ERR_NO_FILE = 1,
    LOADER_ERR_SHORT_HEADER = 2,
    LOADER_ERR_SHORT_BODY = 3,
    LOADER_ERR_UNKNOWN_TAG = 20,
    LOADER_ERR_NO_CATEGORY = 21,
    LOADER_ERR_BAD_STATE = 22,
};

struct DataLoader {
    uint32_t state;
    FILE *file;
    uint32_t tag;
    uint32_t version;
    uint32_t body_size;
    uint8_t *body;
    char current_name[LOADER_NAME_SIZE];
    uint32_t current_has_category;
    uint32_t current_value;
    LoadRequest requests[LOADER_RING_SIZE];
    uint32_t head; // requests taken; entry index = head & 127
    uint32_t tail; // requests queued; entry index = tail & 127
    uint32_t language;
    char data_folders[2][LOADER_FOLDER_SIZE];
    char texture_folder[LOADER_FOLDER_SIZE];
    TexCategory *categories;
    TexEntry *texture_cursor;
    TexCrop *crop_cursor;
    ResourceMark mark;
    uint32_t file_size;
    uint32_t bytes_read;
};

void loader_init(void);
void loader_shutdown(void);
void loader_reset(void);
void loader_set_data_folder(const char *text, int32_t folder);
void loader_set_texture_folder(const char *text);
const char *loader_data_folder(int32_t folder);
const char *loader_texture_folder(void);
void loader_set_language(uint32_t language);
void loader_read_language(void);

bool loader_enqueue(const char *name, uint32_t value);
bool loader_enqueue_list(const char *const *names, int32_t count, uint32_t value);
// 0 idle, 1 busy; an error ends the program through the fatal exit.
int32_t loader_step(void);
// Steps once, then on while busy and the frame's load share is below the limit (percent).
int32_t loader_run_until(float limit);
float loader_progress(void);
bool loader_request_loaded(const char *name);
int32_t loader_file_exists(const char *name);
// Tries the data folders in language order: folder text + name + ".bin".
FILE *loader_open_file(const char *name, const char *mode, uint32_t *out_size);

int32_t loader_category_count(void);
const char *loader_category_name(int32_t i);
int32_t loader_category_texture_count(int32_t i);
const char *loader_category_texture_name(int32_t i, int32_t j);
int32_t loader_category_crop_count(int32_t i);
const char *loader_category_crop_name(int32_t i, int32_t j);

DataLoader *loader_get(void);
