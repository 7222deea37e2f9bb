// Collision-mesh and shape-set bodies as the pools keep them: the chunk body with its offsets
// as stored. A body is validated once when its record is made; afterwards every table is read
// through the accessors below, which check each index against its table and each record
// against the body's size.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"

// Body header (88 bytes). Offsets count from the body's first byte.
struct CollMeshHeader {
    uint32_t name;
    uint32_t cell_count;
    uint32_t grid[3]; // nx, ny, nz; cell (ix, iy, iz) is number (iz * ny + iy) * nx + ix
    Vec3 grid_min;
    Vec3 grid_max;
    Vec3 centre; // bounding sphere
    float unused_float;
    float radius;
    uint32_t cells;
    uint32_t unused_word;
    uint32_t large;
    uint32_t large_count;
    uint32_t levels;
    uint32_t level_count;
};

struct CollMeshTriangle {
    Vec3 a, b, c;
    Vec3 normal;
    Vec3 centre; // bounding sphere
    float radius;
    float unused_float;
    uint32_t face;
};

struct CollMeshCell {
    uint32_t triangle_count;
    uint32_t triangles;
    Vec3 box_centre, box_half;
    Vec3 centre; // bounding sphere
    float radius;
};

// A triangle spanning several cells, with the list of the cells it lies in.
struct CollMeshLarge {
    uint32_t cell_count;
    CollMeshTriangle triangle;
    uint32_t cells;
};

// One level of the node hierarchy; the last level in the array is the top.
struct CollMeshLevel {
    uint32_t node_count;
    uint32_t unused_words[3];
    uint32_t child_kind; // COLLMESH_CELLS_ARE_CHILDREN: the children of its nodes are cells
    uint32_t unused_word;
    uint32_t nodes;
};

struct CollMeshNode {
    uint32_t child_count; // always 4 in a valid body
    Vec3 box_centre, box_half;
    Vec3 centre; // bounding sphere
    float radius;
    uint32_t children[4];
};

constexpr uint32_t COLLMESH_CELLS_ARE_CHILDREN = 0xFFFFFFFFu;

static_assert(sizeof(CollMeshHeader) == 88 && sizeof(CollMeshTriangle) == 72 &&
                  sizeof(CollMeshCell) == 48 && sizeof(CollMeshLarge) == 80 &&
                  sizeof(CollMeshLevel) == 28 && sizeof(CollMeshNode) == 60,
              "collision-mesh body layout");

struct ShapeSphere {
    float radius, x, y, z;
};

// True when every table of the body lies inside it (sizes computed in 64 bits, tables 4-byte
// aligned), after the 88-byte header and apart from every other table, with the name a text
// there too; the cell count equals nx * ny * nz without overflow; the grid has max > min on
// every axis; every float is finite and every coordinate, radius and extent within
// RES_VALUE_LIMIT (resource/res_body_check.h); every node has four children and every child
// and cell number is below its table's count.
bool res_collmesh_validate(const uint8_t *body, uint32_t size);
// Validates a record's copy of a body held in `owner` (its pool's data buffer) and settles the
// triangle normals in place. After load every triangle's normal is either unit length or
// exactly (0, 0, 0) (zero stored normal, or corners spanning no area), and a zero normal never
// hits.
bool res_collmesh_prepare(CollisionMeshRecord *record, const ResourceBuffer *owner);
// True when the name and the sphere list lie inside the body after its 12-byte header, apart
// from each other, and the sphere values lie within RES_VALUE_LIMIT; *radius (may be null) gets
// the set's reach: the largest |centre| + radius, |centre| 0 below 1e-10 squared.
bool res_shape_set_validate(const uint8_t *body, uint32_t size, float *radius);

// The record at `offset` when it lies wholly inside the body and is aligned; else null.
template <typename T>
inline const T *res_body_record(const uint8_t *data, uint32_t size, uint64_t offset) {
    if (!data || offset % alignof(T) != 0 || offset > size || size - offset < sizeof(T))
        return nullptr;
    return reinterpret_cast<const T *>(data + offset);
}

// The whole table of `count` records at `table` when it lies inside the body; else null. Hot
// loops check the table once and index it below `count`.
template <typename T>
inline const T *res_body_whole_table(const uint8_t *data, uint32_t size, uint32_t table,
                                     uint32_t count) {
    if (count == 0 || static_cast<uint64_t>(table) + uint64_t(count) * sizeof(T) > size)
        return nullptr;
    return res_body_record<T>(data, size, table);
}

// Element i of a table of `count` records of `stride` bytes at `table`; null outside.
template <typename T>
inline const T *res_body_table(const uint8_t *data, uint32_t size, uint32_t table, uint32_t count,
                               uint32_t i, uint32_t stride = sizeof(T)) {
    if (i >= count) return nullptr;
    return res_body_record<T>(data, size, static_cast<uint64_t>(table) + uint64_t(i) * stride);
}

inline const CollMeshHeader *res_collmesh_header(const CollisionMeshRecord *r) {
    return r ? res_body_record<CollMeshHeader>(r->data, r->size, 0) : nullptr;
}
inline const CollMeshCell *res_collmesh_cell(const CollisionMeshRecord *r, const CollMeshHeader *h,
                                             uint32_t i) {
    return res_body_table<CollMeshCell>(r->data, r->size, h->cells, h->cell_count, i);
}
inline const CollMeshTriangle *res_collmesh_cell_triangle(const CollisionMeshRecord *r,
                                                          const CollMeshCell *c, uint32_t i) {
    return res_body_table<CollMeshTriangle>(r->data, r->size, c->triangles, c->triangle_count, i);
}
inline const CollMeshTriangle *res_collmesh_cell_triangles(const CollisionMeshRecord *r,
                                                           const CollMeshCell *c) {
    return res_body_whole_table<CollMeshTriangle>(r->data, r->size, c->triangles,
                                                  c->triangle_count);
}
inline const CollMeshLarge *res_collmesh_large_table(const CollisionMeshRecord *r,
                                                     const CollMeshHeader *h) {
    return res_body_whole_table<CollMeshLarge>(r->data, r->size, h->large, h->large_count);
}
inline const CollMeshLarge *res_collmesh_large(const CollisionMeshRecord *r,
                                               const CollMeshHeader *h, uint32_t i) {
    return res_body_table<CollMeshLarge>(r->data, r->size, h->large, h->large_count, i);
}
// The cell list of a large triangle (cell_count entries), null when it does not fit.
inline const uint32_t *res_collmesh_large_cells(const CollisionMeshRecord *r,
                                                const CollMeshLarge *l) {
    if (l->cell_count == 0) return nullptr;
    uint64_t end = static_cast<uint64_t>(l->cells) + uint64_t(l->cell_count) * 4;
    return end <= r->size ? res_body_record<uint32_t>(r->data, r->size, l->cells) : nullptr;
}
inline const CollMeshLevel *res_collmesh_level(const CollisionMeshRecord *r,
                                               const CollMeshHeader *h, uint32_t i) {
    return res_body_table<CollMeshLevel>(r->data, r->size, h->levels, h->level_count, i);
}
inline const CollMeshNode *res_collmesh_node(const CollisionMeshRecord *r, const CollMeshLevel *l,
                                             uint32_t i) {
    return res_body_table<CollMeshNode>(r->data, r->size, l->nodes, l->node_count, i);
}

// Sphere i of a shape set, null outside its list.
const ShapeSphere *res_shape_set_sphere(const ShapeSetRecord *r, uint32_t i);
uint32_t res_shape_set_sphere_count(const ShapeSetRecord *r);

// One triangle as the collision-mesh queries give it.
struct CollMeshTriangleInfo {
    Vec3 corners[3];
    Vec3 normal;
    Vec3 centroid; // corner sum x 0.33333334
    Vec3 centre;   // bounding sphere
    float radius;
    uint32_t face;
};

// Triangles held by the cells (large triangles are not counted); 0 for an invalid handle.
int32_t res_collmesh_triangle_count(ResourceHandle mesh);
// Triangle `index` counting through the cells in order; false outside. Each call counts from
// the first cell: to visit every triangle, walk them instead.
bool res_collmesh_triangle(ResourceHandle mesh, int32_t index, CollMeshTriangleInfo *out);

// The cells' triangles one after another, in the order res_collmesh_triangle numbers them.
struct CollMeshWalk {
    const CollisionMeshRecord *record;
    const CollMeshHeader *header;
    uint32_t cell, next; // the next triangle: number `next` of cell `cell`
};
// False (and no triangles) for an invalid handle.
bool res_collmesh_walk_begin(CollMeshWalk *walk, ResourceHandle mesh);
// The next triangle; false after the last.
bool res_collmesh_walk_next(CollMeshWalk *walk, CollMeshTriangleInfo *out);
