// Bodies of frame hierarchies ("BBBB"), motions ("AAAA") and camera tracks ("CAMR").
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

using PackMatrix = std::array<float, 16>; // row vectors, row 3 the translation

// A frame: its matrix (relative to its parent), its name and its children.
struct PackFrame {
    std::string name;
    PackMatrix matrix;
    std::vector<PackFrame> children;
};

// "BBBB" body: each frame as {2, matrix} {1, name offset, 0}, then each child between a push
// (3) and a pop (4); the end tag (5) after the root; the names after the list. The hash words
// are filled in by the loader.
std::vector<uint8_t> pack_hierarchy_body(const PackFrame &root);

// A motion track: one key matrix per frame, applied before the frame's rest matrix.
struct PackTrack {
    std::string name;
    std::vector<PackMatrix> keys;
};

struct PackMotion {
    std::string name;
    uint32_t frames;
    std::vector<PackTrack> tracks;
};

// "AAAA" body: {track count, frame count, name offset, track table offset, 0 (no second
// block)}, the name, the track table, then each track {name offset, 0, key count, keys}, then
// the track names.
std::vector<uint8_t> pack_motion_body(const PackMotion &motion);

struct PackCamera {
    std::string name;
    uint32_t word;
    float values[2];
    std::vector<std::array<float, 4>> keys;
};

// "CAMR" body: {name offset, keys offset, key count, word, value 0, value 1}, the keys (16
// bytes each), the name.
std::vector<uint8_t> pack_camera_body(const PackCamera &camera);

// Identity with row 3 = (x, y, z, 1).
PackMatrix pack_translation(float x, float y, float z);
