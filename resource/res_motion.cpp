// Motions: the check and finish of a stored body and the track queries; camera-track keys.
#include "resource/res_motion.h"

#include <cstring>

#include "resource/chunks.h"
#include "resource/res_body_check.h"

// The words of a body that validation has accepted; an unreadable word reads as 0.
static uint32_t word(const MotionRecord *r, uint64_t at) {
    uint32_t v = 0;
    if (at <= UINT32_MAX) chunk_read_u32(r->data, r->size, static_cast<uint32_t>(at), &v);
    return v;
}

// Offset of track i, 0 when there is none (offset 0 is the header, never a track).
static uint32_t track_at(const MotionRecord *r, int32_t i) {
    if (!r || i < 0 || static_cast<uint32_t>(i) >= word(r, 0)) return 0;
    return word(r, static_cast<uint64_t>(word(r, 12)) + 4u * static_cast<uint32_t>(i));
}

static const char *text_at(const MotionRecord *r, uint32_t offset) {
    uint32_t len;
    return chunk_text_length(r->data, r->size, offset, &len)
               ? reinterpret_cast<const char *>(r->data + offset)
               : nullptr;
}

// The header, the track table and every track with its keys and name inside the body; the
// table, the tracks and the names after the header and no table sharing bytes with another or
// with a name; every key value within RES_VALUE_LIMIT; with `hashes`, every track's hash word
// equal to the hash of its name.
static bool check_motion(const MotionRecord *r, bool hashes) {
    const uint64_t size = r->size;
    if (!r->data || size < RES_MOTION_HEADER) return false;
    uint32_t tracks = word(r, 0), table = word(r, 12), second = word(r, 16);
    if (tracks > RES_MOTION_MAX_TRACKS || word(r, 4) > RES_MOTION_MAX_FRAMES) return false;
    if (tracks && static_cast<uint64_t>(table) + 4ull * tracks > size) return false;
    // The second block is not read here, so only its start can be checked.
    if (second != 0 && second < RES_MOTION_HEADER) return false;
    BodyRanges ranges = res_ranges_start(RES_MOTION_HEADER);
    if (!res_ranges_text(&ranges, r->data, r->size, word(r, 8))) return false;
    res_ranges_table(&ranges, table, 4ull * tracks);
    for (uint32_t i = 0; i < tracks; ++i) {
        uint32_t at = word(r, table + 4ull * i);
        if (at == 0 || at % 4 || at + static_cast<uint64_t>(RES_MOTION_TRACK_HEAD) > size)
            return false;
        uint64_t keys = static_cast<uint64_t>(word(r, at + 8ull)) * RES_MOTION_KEY;
        if (at + RES_MOTION_TRACK_HEAD + keys > size) return false;
        res_ranges_table(&ranges, at, RES_MOTION_TRACK_HEAD + keys);
        if (!res_values_ok(r->data + at + RES_MOTION_TRACK_HEAD, keys / 4)) return false;
        if (!res_ranges_text(&ranges, r->data, r->size, word(r, at))) return false;
        const char *name = text_at(r, word(r, at));
        if (!name || (hashes && word(r, at + 4ull) != res_hash_name(name))) return false;
    }
    return res_ranges_ok(&ranges);
}

bool res_motion_prepare(MotionRecord *r) {
    if (!r || !check_motion(r, false)) return false;
    int32_t tracks = static_cast<int32_t>(word(r, 0));
    // Every name is stripped before any hash is taken (texts may share bytes); a track whose
    // hash word overlaps another part of the body fails the second check.
    for (int32_t i = 0; i < tracks; ++i) {
        char *text = const_cast<char *>(text_at(r, word(r, track_at(r, i))));
        if (text) res_name_suffix_flags(text, std::strlen(text) + 1, text);
    }
    for (int32_t i = 0; i < tracks; ++i) {
        uint32_t at = track_at(r, i);
        const char *text = text_at(r, word(r, at));
        uint32_t h = res_hash_name(text);
        for (int b = 0; b < 4; ++b) r->data[at + 4 + b] = static_cast<uint8_t>(h >> (8 * b));
    }
    return check_motion(r, true);
}

uint32_t res_motion_length(ResourceHandle h) {
    MotionRecord *r = res_motion_record(h);
    return r ? word(r, 4) : 0;
}

int32_t res_motion_track_count(ResourceHandle h) {
    MotionRecord *r = res_motion_record(h);
    return r ? static_cast<int32_t>(word(r, 0)) : 0;
}

const char *res_motion_track_name(ResourceHandle h, int32_t i) {
    MotionRecord *r = res_motion_record(h);
    uint32_t at = track_at(r, i);
    return at ? text_at(r, word(r, at)) : nullptr;
}

int32_t res_motion_track_index(ResourceHandle h, const char *name) {
    MotionRecord *r = res_motion_record(h);
    if (!r || !name) return -1;
    NameHash hash = res_hash_name(name);
    int32_t tracks = static_cast<int32_t>(word(r, 0));
    for (int32_t i = 0; i < tracks; ++i) {
        uint32_t at = track_at(r, i);
        if (word(r, at + 4ull) != hash) continue;
        const char *text = text_at(r, word(r, at));
        if (text && std::strcmp(text, name) == 0) return i;
    }
    return -1;
}

uint32_t res_motion_track_key_count(ResourceHandle h, int32_t i) {
    MotionRecord *r = res_motion_record(h);
    uint32_t at = track_at(r, i);
    return at ? word(r, at + 8ull) : 0;
}

// Offset of key k of track i, 0 when out of range or not inside the body.
static uint32_t key_at(const MotionRecord *r, int32_t i, uint32_t k) {
    uint32_t at = track_at(r, i);
    if (!at || k >= word(r, at + 8ull)) return 0;
    uint64_t key = at + static_cast<uint64_t>(RES_MOTION_TRACK_HEAD) +
                   static_cast<uint64_t>(k) * RES_MOTION_KEY;
    return key + RES_MOTION_KEY <= r->size ? static_cast<uint32_t>(key) : 0;
}

bool res_motion_key(ResourceHandle h, int32_t i, uint32_t k, Mat4 *out) {
    MotionRecord *r = res_motion_record(h);
    uint32_t at = r && out ? key_at(r, i, k) : 0;
    if (!at) return false;
    std::memcpy(out, r->data + at, RES_MOTION_KEY);
    return true;
}

uint32_t res_motion_track_value(ResourceHandle h, const char *name) {
    return res_motion_track_key_count(h, res_motion_track_index(h, name));
}

const Mat4 *res_motion_track_keys(ResourceHandle h, const char *name) {
    MotionRecord *r = res_motion_record(h);
    uint32_t at = r ? key_at(r, res_motion_track_index(h, name), 0) : 0;
    // Tracks start at 4-byte offsets of a 4-byte aligned copy: the keys are aligned floats.
    return at ? reinterpret_cast<const Mat4 *>(r->data + at) : nullptr;
}

uint32_t res_motion_second_block(ResourceHandle h) {
    MotionRecord *r = res_motion_record(h);
    uint32_t at = r ? word(r, 16) : 0;
    return r && at < r->size ? at : 0;
}

bool res_camera_track_key(ResourceHandle h, uint32_t i, float out[4]) {
    CameraTrackRecord *r = res_camera_track_record(h);
    if (!r || !r->keys || !out || i >= r->key_count) return false;
    std::memcpy(out, r->keys + static_cast<size_t>(i) * RES_CAMERA_KEY, RES_CAMERA_KEY);
    return true;
}

bool res_camera_keys_valid(const uint8_t *keys, uint32_t key_count) {
    return key_count == 0 || (keys && res_values_ok(keys, uint64_t(key_count) * 4));
}
