// Bodies of frame hierarchies ("BBBB"), motions ("AAAA") and camera tracks ("CAMR"), and the
// text lists the packer tool reads them from.
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

// Text lists, one item a line, '#' starting a comment:
//   hierarchy: "NAME PARENT x y z" or "NAME PARENT m00 m01 ... m33" (PARENT "-" for the root,
//              which comes first; a parent comes before its children)
//   motion:    "motion NAME FRAMES", then "track NAME" followed by its "key" lines, each
//              "key x y z" (a translation) or "key m00 ... m33"
//   camera:    "camera NAME WORD VALUE0 VALUE1", then "key a b c d" lines
// False with *error set (naming the line) on a malformed list.
bool pack_parse_hierarchy(const std::string &text, PackFrame *root, std::string *error);
bool pack_parse_motion(const std::string &text, PackMotion *motion, std::string *error);
bool pack_parse_camera(const std::string &text, PackCamera *camera, std::string *error);

// Identity with row 3 = (x, y, z, 1).
PackMatrix pack_translation(float x, float y, float z);
