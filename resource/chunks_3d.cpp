// Handlers of the 3D chunk kinds: the body is checked and handed to its pool's data creator.
// With the program's pool sizes (one record, one byte) any chunk with content is refused.
#include <cstring>
#include <string>

#include "resource/chunks.h"
#include "resource/model_reader.h"
#include "resource/names.h"
#include "resource/res_body_check.h"
#include "resource/res_model.h"
#include "resource/res_pools.h"

// The text at `offset` when it lies inside the body and ends there, else null.
static char *body_text(uint8_t *body, uint32_t size, uint32_t offset) {
    uint32_t len;
    return chunk_text_length(body, size, offset, &len) ? reinterpret_cast<char *>(body + offset)
                                                       : nullptr;
}

// The text whose offset is stored at byte `at` of the body, when both lie inside it; else null.
static char *name_at(uint8_t *body, uint32_t size, uint32_t at) {
    uint32_t offset;
    return chunk_read_u32(body, size, at, &offset) ? body_text(body, size, offset) : nullptr;
}

// Strips the "_NRx" / "_SPx" parts of a stored name in place; null stays null.
static char *stripped(char *name) {
    if (name) res_name_suffix_flags(name, std::strlen(name) + 1, name);
    return name;
}

bool chunk_load_hierarchy(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    if (size < 8) return true;
    // The first named frame (tag 1) of the frame list names the hierarchy.
    uint32_t pos = 0, tag, name_offset = 0;
    bool found = false, ended = false;
    while (!found && !ended && chunk_read_u32(body, size, pos, &tag)) {
        switch (tag) {
            case 1:
                if (!chunk_read_u32(body, size, pos + 4, &name_offset)) return false;
                found = true;
                break;
            case 2:
                pos += 4 + 16 * 4;
                break;
            case 5:
                ended = true;
                break;
            default:
                pos += 4;
                break;
        }
    }
    if (!found && !ended) return false; // the list runs past the body
    if (!found || name_offset == 0) return true;
    char *name = stripped(body_text(body, size, name_offset));
    return name && res_create_hierarchy(group, name, body, size) != 0;
}

bool chunk_load_motion(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    char *name = stripped(name_at(body, size, 8));
    return name && res_create_motion(group, name, body, size) != 0;
}

bool chunk_load_collision_mesh(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    char *name = stripped(name_at(body, size, 0));
    return name && res_create_collmesh(group, name, body, size) != 0;
}

bool chunk_load_shape_set(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    // A set that cannot be made (its name included) leaves the resource missing; the chunk
    // still loads.
    if (char *name = name_at(body, size, 0)) res_create_shape_set(group, name, body, size);
    return true;
}

bool chunk_load_camera_track(const char *group, uint8_t *body, uint32_t size, uint32_t) {
    if (size < 1) return true;
    uint32_t name_offset, keys_offset, key_count, word, bits0, bits1;
    if (!chunk_read_u32(body, size, 0, &name_offset) ||
        !chunk_read_u32(body, size, 4, &keys_offset) ||
        !chunk_read_u32(body, size, 8, &key_count) || !chunk_read_u32(body, size, 12, &word) ||
        !chunk_read_u32(body, size, 16, &bits0) || !chunk_read_u32(body, size, 20, &bits1))
        return false;
    if (keys_offset > size || key_count > (size - keys_offset) / 16) return false;
    // The keys and the name lie after the 24-byte header, apart from each other.
    BodyRanges ranges = res_ranges_start(24);
    res_ranges_table(&ranges, keys_offset, uint64_t(key_count) * 16);
    if (!res_ranges_text(&ranges, body, size, name_offset) || !res_ranges_ok(&ranges)) return false;
    char *name = body_text(body, size, name_offset);
    float v0, v1;
    std::memcpy(&v0, &bits0, 4);
    std::memcpy(&v1, &bits1, 4);
    return res_create_camera_track(group, name, body + keys_offset, key_count, word, v0, v1) != 0;
}

bool chunk_load_models(const char *group, uint8_t *body, uint32_t size, uint32_t value) {
    // A model that cannot be read or made is left missing; the chunk still loads. The name is
    // stripped in a copy, so the reader checks the body's bytes as stored.
    const char *name = name_at(body, size, 4);
    if (!name) return true;
    std::string part(name);
    const uint32_t flags = res_name_suffix_flags(part.data(), part.size() + 1, name);
    ModelReadout model;
    if (model_read(&model, body, size, group, value, flags) == nullptr)
        res_create_model(group, part.c_str(), &model.desc, flags);
    return true;
}
