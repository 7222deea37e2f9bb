// Chunk handlers of the tagged data files. Every offset, size and count in a body is checked
// against the body before use, and every text must end inside it.
#include "resource/chunks.h"

#include <cstdio>
#include <cstring>

#include "platform/sys/sys_file.h"
#include "resource/data_key.h"
#include "resource/loader.h"
#include "resource/names.h"
#include "resource/res_pools.h"
#include "resource/res_texture.h"

static const ChunkKind CHUNK_KINDS[8] = {
    {CHUNK_TAG_MODELS, 0x02000000, chunk_load_models, 4, 5},
    {CHUNK_TAG_HIERARCHY, 0x01000000, chunk_load_hierarchy, 6, 7},
    {CHUNK_TAG_MOTION, 0x02000000, chunk_load_motion, 8, 9},
    {CHUNK_TAG_COLLISION_MESH, 0x01000000, chunk_load_collision_mesh, 10, 11},
    {CHUNK_TAG_TEXTURES, 0x01000000, chunk_load_textures, 12, 13},
    {CHUNK_TAG_CROPS, 0x01000000, chunk_load_crops, 14, 15},
    {CHUNK_TAG_SHAPE_SET, 0x01000000, chunk_load_shape_set, 16, 17},
    {CHUNK_TAG_CAMERA_TRACK, 0x01000000, chunk_load_camera_track, 18, 19},
};

const ChunkKind *chunk_kind_of(uint32_t tag) {
    for (const ChunkKind &k : CHUNK_KINDS)
        if (k.tag == tag) return &k;
    return nullptr;
}

bool chunk_read_u32(const uint8_t *body, uint32_t size, uint32_t offset, uint32_t *out) {
    if (!body || size < 4 || offset > size - 4) return false;
    *out = static_cast<uint32_t>(body[offset]) | static_cast<uint32_t>(body[offset + 1]) << 8 |
           static_cast<uint32_t>(body[offset + 2]) << 16 |
           static_cast<uint32_t>(body[offset + 3]) << 24;
    return true;
}

static bool read_f32(const uint8_t *body, uint32_t size, uint32_t offset, float *out) {
    uint32_t bits;
    if (!chunk_read_u32(body, size, offset, &bits)) return false;
    std::memcpy(out, &bits, sizeof bits);
    return true;
}

bool chunk_text_length(const uint8_t *body, uint32_t size, uint32_t offset, uint32_t *out) {
    if (!body || offset >= size) return false;
    const void *end = std::memchr(body + offset, 0, size - offset);
    if (!end) return false;
    *out = static_cast<uint32_t>(static_cast<const uint8_t *>(end) - (body + offset));
    return true;
}

// ---------------------------------------------------------------------------------------------
// "TTTT": {name offset, image offset, image size}

struct TextureChunk {
    uint32_t name_offset, image_offset, image_size;
};

static bool texture_chunk(const uint8_t *body, uint32_t size, TextureChunk *c) {
    if (!chunk_read_u32(body, size, 0, &c->name_offset) ||
        !chunk_read_u32(body, size, 4, &c->image_offset) ||
        !chunk_read_u32(body, size, 8, &c->image_size))
        return false;
    return c->image_offset <= size && c->image_size <= size - c->image_offset;
}

bool chunk_unscramble_textures(uint8_t *body, uint32_t size, uint32_t key) {
    TextureChunk c;
    if (!texture_chunk(body, size, &c)) return false;
    data_key_scramble_image(body + c.image_offset, c.image_size, key);
    return true;
}

bool chunk_load_textures(const char *group, uint8_t *body, uint32_t size, uint32_t value) {
    TextureChunk c;
    uint32_t name_len;
    if (!texture_chunk(body, size, &c) || !chunk_text_length(body, size, c.name_offset, &name_len))
        return false;
    const char *image_name = reinterpret_cast<const char *>(body + c.name_offset);
    uint8_t mipmap = (value >> 1) & 1u;

    // An image-name + ".dds" file in data folder 0 takes the place of the embedded bytes.
    char part[256];
    res_name_of_path(part, sizeof part, image_name);
    char dds[LOADER_FOLDER_SIZE + 256 + 8];
    int n = std::snprintf(dds, sizeof dds, "%s%s.dds", loader_data_folder(0), part);
    // Only a regular file that opens counts: a folder of that name is passed over.
    bool use_dds = false;
    if (n > 0 && static_cast<size_t>(n) < sizeof dds && sys_file_size(dds) >= 0) {
        if (FILE *f = sys_fopen(dds, "rb")) {
            std::fclose(f);
            use_dds = true;
        }
    }
    ResourceHandle h =
        use_dds ? res_create_texture_from_file(group, dds, mipmap)
                : res_create_texture_from_memory(group, image_name, body + c.image_offset,
                                                 c.image_size, mipmap);
    return h != 0;
}

// ---------------------------------------------------------------------------------------------
// "CCCC": u32 count, then 32-byte entries {name offset, texture name offset, 2 words,
// u0, v0, u size, v size}

static bool crop_entry_offset(uint32_t size, uint32_t count, uint32_t i, uint32_t *offset) {
    if (size < 4 || count > (size - 4) / CHUNK_CROP_ENTRY_SIZE || i >= count) return false;
    *offset = 4 + i * CHUNK_CROP_ENTRY_SIZE;
    return true;
}

// XORs a text with the key's low byte; the length is taken afresh before each byte, so a byte
// that becomes 0 ends the text. False when the text does not end inside the body.
static bool unscramble_text(uint8_t *body, uint32_t size, uint32_t offset, uint8_t k) {
    uint32_t len;
    if (!chunk_text_length(body, size, offset, &len)) return false;
    for (uint32_t i = 0; i < len; ++i) {
        body[offset + i] ^= k;
        if (body[offset + i] == 0) break;
    }
    return true;
}

bool chunk_unscramble_crops(uint8_t *body, uint32_t size, uint32_t key) {
    uint32_t count;
    if (!chunk_read_u32(body, size, 0, &count)) return false;
    uint8_t k = static_cast<uint8_t>(key & 0xFF);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t e, name_offset, tex_offset;
        if (!crop_entry_offset(size, count, i, &e) ||
            !chunk_read_u32(body, size, e, &name_offset) ||
            !chunk_read_u32(body, size, e + 4, &tex_offset))
            return false;
        if (!unscramble_text(body, size, name_offset, k)) return false;
        if (!unscramble_text(body, size, tex_offset, k)) return false;
    }
    return true;
}

bool chunk_load_crops(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    uint32_t count;
    if (!chunk_read_u32(body, size, 0, &count)) return false;
    if (count > 0 && (size < 4 || count > (size - 4) / CHUNK_CROP_ENTRY_SIZE)) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t e = 0, name_offset, tex_offset, len;
        float u0, v0, us, vs;
        crop_entry_offset(size, count, i, &e);
        if (!chunk_read_u32(body, size, e, &name_offset) ||
            !chunk_read_u32(body, size, e + 4, &tex_offset) ||
            !chunk_text_length(body, size, name_offset, &len) ||
            !chunk_text_length(body, size, tex_offset, &len) ||
            !read_f32(body, size, e + 16, &u0) || !read_f32(body, size, e + 20, &v0) ||
            !read_f32(body, size, e + 24, &us) || !read_f32(body, size, e + 28, &vs))
            return false;
        // A crop that cannot be made (full pool) leaves the resource missing.
        res_make_crop(group, reinterpret_cast<const char *>(body + name_offset), u0, v0, us, vs,
                      reinterpret_cast<const char *>(body + tex_offset));
    }
    return true;
}
