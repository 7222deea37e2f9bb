// Text lists the packer tool reads the 3D kinds from, turned into the body builders' input.
#pragma once
#include <string>

#include "tools/packer/pack_frames.h"
#include "tools/packer/pack_model.h"

// One item a line, '#' starting a comment:
//   hierarchy: "NAME PARENT x y z" or "NAME PARENT m00 m01 ... m33" (PARENT "-" for the root,
//              which comes first; a parent comes before its children)
//   motion:    "motion NAME FRAMES", then "track NAME" followed by its "key" lines, each
//              "key x y z" (a translation) or "key m00 ... m33"
//   camera:    "camera NAME WORD VALUE0 VALUE1", then "key a b c d" lines
// False with *error set (naming the line) on a malformed list.
bool pack_parse_hierarchy(const std::string &text, PackFrame *root, std::string *error);
bool pack_parse_motion(const std::string &text, PackMotion *motion, std::string *error);
bool pack_parse_camera(const std::string &text, PackCamera *camera, std::string *error);

// Model lists, indices counting from 0:
//   model NAME
//   v x y z | vn x y z | vt u v | vc AARRGGBB | skin b0 b1 b2 b3 w0 w1 w2 w3
//   bone NAME x y z  or  bone NAME m00 ... m33      (the bone's offset matrix)
//   material TEXTURE|- FIRST LAST                    (triangles FIRST to LAST)
//   f C C C   a triangle; each corner C is "p/t/n/s/c": indices of the position, texture
//             coordinate, normal, skin entry and colour, an empty field leaving that
//             attribute out (every corner must name the same attributes)
// False with *error set (naming the line) on a malformed list.
bool pack_parse_model(const std::string &text, PackModel *model, std::string *error);
