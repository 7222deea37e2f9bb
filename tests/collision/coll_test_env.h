// Shared by the collision tests: the renderer started once, resource pools larger than the
// program's, collision meshes and shape sets written with the packer's builders and loaded
// through the data loader from a scratch folder, and the seeded geometry the tests use.
#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "math/math_types.h"
#include "resource/res_pools.h"
#include "tools/packer/pack_collision.h"

// Starts (once) the window, the renderer's start-up chain and a scratch data folder, then
// restarts the resource pools with room for the test meshes and re-runs the scene reset.
void coll_test_start(void);

// Writes `name`.bin with one chunk of the given tag and body and loads it through the data
// loader; false when the loader did not finish cleanly.
bool coll_test_load(const std::string &name, uint32_t tag, const std::vector<uint8_t> &body);
// A collision mesh built from the triangles and loaded; 0 when it could not be made.
ResourceHandle coll_test_mesh(const std::string &name, const std::vector<PackCollTriangle> &tris,
                              const PackCollGrid &grid);

// Geometry: an n x n floor of unit tiles at height y (two upward triangles a tile, face word
// base + tile number); a closed box room of vertical walls facing inward; a seeded soup of
// `count` triangles of sizes up to `size` inside [lo, hi]^3.
std::vector<PackCollTriangle> coll_test_floor(int n, float y, uint32_t face_base);
std::vector<PackCollTriangle> coll_test_room(float half, float height);
std::vector<PackCollTriangle> coll_test_soup(int count, float lo, float hi, float size,
                                             uint32_t seed);

// Corners carried by a row-vector matrix (p x M) in double precision.
std::vector<PackCollTriangle> coll_test_transformed(const std::vector<PackCollTriangle> &tris,
                                                    const Mat4 &m);

// Double-precision brute force over triangles, written from the rules: nearest front-facing
// hit of the segment S + tD, t in [0, 1]. `margin` reports how close the hit lies to an edge
// of its triangle (in the triangle's own size) and the gap to the second-best t.
struct BruteHit {
    bool hit;
    double t;
    int index;
    double edge_margin; // smallest barycentric coordinate of the hit point
    double second_gap;  // second-best t minus best t (1e9 when there is none)
};
BruteHit coll_test_brute_segment(const std::vector<PackCollTriangle> &tris, const double *s,
                                 const double *d);
