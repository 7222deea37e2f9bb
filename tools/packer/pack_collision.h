// Bodies of collision meshes ("CCCL") and shape sets ("SXZA") built from plain geometry.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One triangle of a collision mesh: corners in front-face order (the face normal is
// (b - a) x (c - a)) and the word a hit reports.
struct PackCollTriangle {
    float a[3], b[3], c[3];
    uint32_t face;
};

// How the mesh is divided: nx x ny x nz cells over the padded box of all corners, and how many
// levels of 4-child nodes sit above the cells (-1: levels until the top one has at most four
// nodes; 0: none, so every query tests cell 0 only and a larger grid is never entered).
struct PackCollGrid {
    uint32_t nx = 1, ny = 1, nz = 1;
    int32_t levels = -1;
};

// Summary of a built body, for tests and the tool's report.
struct PackCollInfo {
    uint32_t cell_count;
    uint32_t cell_triangles;  // triangles lying inside one cell
    uint32_t large_triangles; // triangles spanning several cells
    uint32_t level_count;
    uint32_t top_level_nodes;
    float grid_min[3], grid_max[3];
};

// A triangle whose box lies inside one cell goes into that cell's list (cells keep the input
// order); one spanning several cells becomes a large triangle listing every cell its box
// touches. Cell boxes are the grid cells, node boxes the union of their children's, each a
// little padded so that rounding never leaves a corner outside. Empty when the grid has a zero
// count or more than 2^24 cells.
std::vector<uint8_t> pack_collision_mesh_body(const std::string &name,
                                              const std::vector<PackCollTriangle> &triangles,
                                              const PackCollGrid &grid,
                                              PackCollInfo *info = nullptr);

struct PackSphere {
    float radius, x, y, z;
};

// "SXZA" body: name offset, sphere list offset, sphere count, the name, the spheres.
std::vector<uint8_t> pack_shape_set_body(const std::string &name,
                                         const std::vector<PackSphere> &spheres);

// Reads a triangle list for the tool: one triangle a line, "ax ay az bx by bz cx cy cz face",
// the face word decimal or 0x hexadecimal, '#' starting a comment.
bool pack_parse_triangle_list(const std::string &text, std::vector<PackCollTriangle> *triangles,
                              std::string *error);
// Reads a sphere list for the tool: one sphere a line, "radius x y z", '#' comments.
bool pack_parse_sphere_list(const std::string &text, std::vector<PackSphere> *spheres,
                            std::string *error);
