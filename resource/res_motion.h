// Motions ("AAAA" bodies) and camera-track keys: checked once when they are stored, then read
// through accessors checked against the record's size.
//
// A motion body starts with five u32: track count, frame count, name offset, offset of the
// track table (one u32 offset per track), offset of a second block (kept, not read here). A
// track is {name offset, name hash (filled in when stored), key count, keys}; a key is one
// 4 x 4 matrix (16 floats, row vectors) per frame, which the pose applies before the frame's
// rest matrix. Offsets are from the body's first byte.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"

// Track numbers are 8 bits with 255 meaning none; the length is a 16.16 frame count.
constexpr uint32_t RES_MOTION_MAX_TRACKS = 254;
constexpr uint32_t RES_MOTION_MAX_FRAMES = 65535;
constexpr uint32_t RES_MOTION_HEADER = 20;
constexpr uint32_t RES_MOTION_TRACK_HEAD = 12;
constexpr uint32_t RES_MOTION_KEY = 64;
constexpr uint32_t RES_CAMERA_KEY = 16;

// Checks the record's copy of a body and finishes it: the track count at most 254, the frame
// count below 65,536, the track table, every track (4-byte aligned) with its keys, every track
// name and the motion's name inside the body after its 20-byte header, no two of the table and
// the tracks sharing a byte and no name inside either, a second block (when there is one)
// after the header, and every key value within RES_VALUE_LIMIT (resource/res_body_check.h). Track
// names lose their "_NRx" / "_SPx" parts in place and their hashes are stored. False when the body
// is refused.
bool res_motion_prepare(MotionRecord *record);

// The frame count (the word at offset 4); 0 for an invalid handle.
uint32_t res_motion_length(ResourceHandle motion);
int32_t res_motion_track_count(ResourceHandle motion);
// Name of track i, null when there is none.
const char *res_motion_track_name(ResourceHandle motion, int32_t i);
// Number of the track with that name (hash, then text), -1 when there is none.
int32_t res_motion_track_index(ResourceHandle motion, const char *name);
// Key count of track i, 0 when there is none.
uint32_t res_motion_track_key_count(ResourceHandle motion, int32_t i);
// Key k of track i; false when either is out of range.
bool res_motion_key(ResourceHandle motion, int32_t i, uint32_t k, Mat4 *out);
// The named track's key count word, 0 when the track is absent.
uint32_t res_motion_track_value(ResourceHandle motion, const char *name);
// The named track's keys (key count matrices) when it has at least one, else null.
const Mat4 *res_motion_track_keys(ResourceHandle motion, const char *name);
// Offset of the second block when it lies inside the body, else 0.
uint32_t res_motion_second_block(ResourceHandle motion);

// True when every value of `key_count` camera keys (four floats each) lies within
// RES_VALUE_LIMIT.
bool res_camera_keys_valid(const uint8_t *keys, uint32_t key_count);
// Key i of a camera track (four floats); false when out of range.
bool res_camera_track_key(ResourceHandle track, uint32_t i, float out[4]);
