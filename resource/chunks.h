// Chunk tags of the tagged data files and the handlers that turn chunk bodies into resources.
// Every handler takes (group, body, body size, request value) and returns true on success.
#pragma once
#include <cstdint>

constexpr uint32_t CHUNK_HEADER_SIZE = 12;

constexpr uint32_t CHUNK_TAG_MODELS = 0x4D4D4D4D;         // "MMMM"
constexpr uint32_t CHUNK_TAG_HIERARCHY = 0x42424242;      // "BBBB"
constexpr uint32_t CHUNK_TAG_MOTION = 0x41414141;         // "AAAA"
constexpr uint32_t CHUNK_TAG_COLLISION_MESH = 0x4C434343; // "CCCL"
constexpr uint32_t CHUNK_TAG_TEXTURES = 0x54545454;       // "TTTT"
constexpr uint32_t CHUNK_TAG_CROPS = 0x43434343;          // "CCCC"
constexpr uint32_t CHUNK_TAG_SHAPE_SET = 0x415A5853;      // "SXZA"
constexpr uint32_t CHUNK_TAG_CAMERA_TRACK = 0x524D4143;   // "CAMR"

constexpr uint32_t CHUNK_CROP_ENTRY_SIZE = 32;

using ChunkHandler = bool (*)(const char *group, uint8_t *body, uint32_t size, uint32_t value);

struct ChunkKind {
    uint32_t tag;
    uint32_t version;
    ChunkHandler handler;
    uint16_t version_error;
    uint16_t handler_error;
};

// The eight chunk kinds; null for an unknown tag.
const ChunkKind *chunk_kind_of(uint32_t tag);

bool chunk_load_models(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_hierarchy(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_motion(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_collision_mesh(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_textures(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_crops(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_shape_set(const char *group, uint8_t *body, uint32_t size, uint32_t value);
bool chunk_load_camera_track(const char *group, uint8_t *body, uint32_t size, uint32_t value);

// Bounds helpers shared by the loader's un-scrambling and the handlers.
// The u32 at `offset`, false when it does not lie inside the body.
bool chunk_read_u32(const uint8_t *body, uint32_t size, uint32_t offset, uint32_t *out);
// Length of the NUL-terminated text at `offset`; false when the offset is outside the body or
// the text does not end inside it.
bool chunk_text_length(const uint8_t *body, uint32_t size, uint32_t offset, uint32_t *out);

// Un-scrambles a "TTTT" body's image bytes; false (nothing changed) when its offsets do not
// fit the body.
bool chunk_unscramble_textures(uint8_t *body, uint32_t size, uint32_t key);
// Un-scrambles a "CCCC" body's name texts; false when an entry or text does not fit the body
// (texts before the bad one are already un-scrambled).
bool chunk_unscramble_crops(uint8_t *body, uint32_t size, uint32_t key);
