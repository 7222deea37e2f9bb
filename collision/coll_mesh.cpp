// Segment, ground and sphere tests against one collision mesh.
#include "collision/coll_mesh.h"

#include <cmath>
#include <cstring>

#include "collision/coll_geom.h"
#include "math/mat4.h"
#include "math/vec.h"
#include "resource/res_collmesh.h"

namespace {

// Candidate lists of the hierarchy walk: a level reads one and fills the other. A level that
// would push more falls back to testing every cell.
constexpr uint32_t LIST_CAPACITY = 16384;
uint32_t g_lists[2][LIST_CAPACITY];

// Cells whose tests passed in the current query, one bit each; large triangles are tested only
// when one of their cells is set. A mesh with more cells than the bitmap holds tests every
// large triangle.
constexpr uint32_t VISITED_CELLS = 1u << 16;
uint32_t g_visited[VISITED_CELLS / 32];

struct Visited {
    bool kept;
    void start(uint32_t cells) {
        kept = cells <= VISITED_CELLS;
        if (kept) std::memset(g_visited, 0, ((cells + 31) / 32) * sizeof(uint32_t));
    }
    bool has(uint32_t cell) const { return kept && (g_visited[cell >> 5] >> (cell & 31)) & 1u; }
    void set(uint32_t cell) {
        if (kept) g_visited[cell >> 5] |= 1u << (cell & 31);
    }
    // The first cell of the list that was visited; the first one when nothing is kept.
    bool first_of(const uint32_t *cells, uint32_t count, uint32_t *out) const {
        if (!cells) return false;
        for (uint32_t i = 0; i < count; ++i)
            if (!kept || has(cells[i])) {
                *out = cells[i];
                return true;
            }
        return false;
    }
};

// The best hit so far, in mesh space.
struct Best {
    float t;
    const CollMeshTriangle *triangle;
    const CollMeshCell *cell;
};

bool node_passes(const CollSegment *g, const Vec3 *centre, float radius, const Vec3 *box_centre,
                 const Vec3 *box_half) {
    return coll_line_near_sphere(g, centre, radius) &&
           coll_boxes_overlap(g, box_centre, box_half) && coll_segment_box(g, box_centre, box_half);
}

bool zero_normal(const CollMeshTriangle *t) {
    return t->normal.x == 0.0f && t->normal.y == 0.0f && t->normal.z == 0.0f;
}

void try_triangle(const CollSegment *g, const CollMeshTriangle *t, const CollMeshCell *cell,
                  Best *best) {
    float hit_t;
    if (!coll_line_near_sphere(g, &t->centre, t->radius) || zero_normal(t)) return;
    if (!coll_segment_triangle(g, &t->a, &t->b, &t->c, &t->normal, &hit_t)) return;
    if (hit_t < best->t) *best = Best{hit_t, t, cell};
}

// Candidate cells of the hierarchy walk; null with *all set when every cell is a candidate.
const uint32_t *collect_cells(const CollisionMeshRecord *mesh, const CollMeshHeader *h,
                              const CollSegment *g, uint32_t *count, bool *all) {
    static const uint32_t first_cell = 0;
    *all = false;
    if (h->level_count == 0) {
        *count = 1;
        return &first_cell;
    }
    const uint32_t *read = nullptr;
    uint32_t read_count = 0;
    int side = 0;
    for (uint32_t i = h->level_count; i-- > 0;) {
        const CollMeshLevel *level = res_collmesh_level(mesh, h, i);
        bool top = i == h->level_count - 1;
        uint32_t n = top ? level->node_count : read_count;
        uint32_t *write = g_lists[side];
        uint32_t written = 0;
        for (uint32_t k = 0; k < n; ++k) {
            const CollMeshNode *node = res_collmesh_node(mesh, level, top ? k : read[k]);
            if (!node ||
                !node_passes(g, &node->centre, node->radius, &node->box_centre, &node->box_half))
                continue;
            if (written + 4 > LIST_CAPACITY) {
                *all = true;
                return nullptr;
            }
            // A short block repeats its last child: push each child once.
            for (int c = 0; c < 4; ++c)
                if (c == 0 || node->children[c] != node->children[c - 1])
                    write[written++] = node->children[c];
        }
        read = write;
        read_count = written;
        side ^= 1;
        if (level->child_kind == COLLMESH_CELLS_ARE_CHILDREN) break;
    }
    *count = read_count;
    return read;
}

// Carries a hit from mesh space to the world.
void finish_hit(const Best &best, const Mat4 *transform, const Mat4 *inverse, bool extended,
                CollMeshHit *hit) {
    const CollMeshTriangle *t = best.triangle;
    hit->t = best.t;
    hit->face = t->face;
    if (transform) {
        coll_world_normal(&hit->normal, inverse, &t->normal);
    } else {
        hit->normal = t->normal;
    }
    if (!extended) return;
    const Vec3 *corners[3] = {&t->a, &t->b, &t->c};
    Vec3 centre = best.cell ? best.cell->box_centre : Vec3{0, 0, 0};
    Vec3 half = best.cell ? best.cell->box_half : Vec3{0, 0, 0};
    if (!transform) {
        for (int i = 0; i < 3; ++i) hit->corners[i] = *corners[i];
        hit->box_centre = centre;
        hit->box_half = half;
        return;
    }
    for (int i = 0; i < 3; ++i) mat4_transform_point(&hit->corners[i], transform, corners[i]);
    mat4_transform_point(&hit->box_centre, transform, &centre);
    // Half extents carry as extents: |M| applied to h.
    const float *hv = &half.x;
    float *out = &hit->box_half.x;
    for (int j = 0; j < 3; ++j) {
        out[j] = 0.0f;
        for (int i = 0; i < 3; ++i) out[j] += std::fabs(transform->m[i][j]) * hv[i];
    }
}

// Mesh-space start and delta; false when the transform cannot be inverted.
bool to_mesh_space(const Mat4 *transform, Mat4 *inverse, const Vec3 *start, const Vec3 *delta,
                   Vec3 *s, Vec3 *d) {
    if (!transform) {
        *s = *start;
        *d = *delta;
        return true;
    }
    if (!coll_finite_matrix(transform) || !mat4_inverse_checked(inverse, transform)) return false;
    mat4_transform_point(s, inverse, start);
    mat4_rotate_vector(d, inverse, delta);
    return true;
}

// The large triangles whose cells were visited: `near` is a cheap reject tried first (it reads
// only the triangle's own record), `test` the full test.
template <typename Near, typename Test>
void try_large(const CollisionMeshRecord *mesh, const CollMeshHeader *h, const Visited &visited,
               Best *best, Near near, Test test) {
    const CollMeshLarge *table = res_collmesh_large_table(mesh, h);
    for (uint32_t i = 0; table && i < h->large_count; ++i) {
        const CollMeshLarge *l = &table[i];
        uint32_t cell;
        if (!near(&l->triangle) ||
            !visited.first_of(res_collmesh_large_cells(mesh, l), l->cell_count, &cell))
            continue;
        float t;
        if (test(&l->triangle, &t) && t < best->t)
            *best = Best{t, &l->triangle, res_collmesh_cell(mesh, h, cell)};
    }
}

// The triangle's bounding sphere overlaps the segment's box.
bool sphere_meets_box(const CollSegment *g, const CollMeshTriangle *t) {
    const float *c = &t->centre.x, *lo = &g->lo.x, *hi = &g->hi.x;
    for (int k = 0; k < 3; ++k)
        if (!(c[k] - t->radius <= hi[k] && c[k] + t->radius >= lo[k])) return false;
    return true;
}

} // namespace

bool coll_mesh_segment(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *start,
                       const Vec3 *delta, bool extended, CollMeshHit *hit) {
    const CollMeshHeader *h = res_collmesh_header(mesh);
    Mat4 inverse;
    Vec3 s, d;
    if (!h || !coll_finite_segment(start, delta) ||
        !to_mesh_space(transform, &inverse, start, delta, &s, &d))
        return false;
    CollSegment g;
    coll_segment_init(&g, &s, &d);

    Best best{999.9f, nullptr, nullptr};
    Visited visited;
    visited.start(h->cell_count);
    uint32_t count;
    bool all;
    const uint32_t *cells = collect_cells(mesh, h, &g, &count, &all);
    if (all) count = h->cell_count;
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t index = all ? k : cells[k];
        const CollMeshCell *cell = res_collmesh_cell(mesh, h, index);
        if (!cell || visited.has(index) ||
            !node_passes(&g, &cell->centre, cell->radius, &cell->box_centre, &cell->box_half))
            continue;
        visited.set(index);
        const CollMeshTriangle *tris = res_collmesh_cell_triangles(mesh, cell);
        for (uint32_t j = 0; tris && j < cell->triangle_count; ++j)
            try_triangle(&g, &tris[j], cell, &best);
    }
    try_large(
        mesh, h, visited, &best, [&](const CollMeshTriangle *t) { return sphere_meets_box(&g, t); },
        [&](const CollMeshTriangle *t, float *out_t) {
            return coll_line_near_sphere(&g, &t->centre, t->radius) && !zero_normal(t) &&
                   coll_segment_triangle(&g, &t->a, &t->b, &t->c, &t->normal, out_t);
        });
    if (!best.triangle) return false;
    finish_hit(best, transform, &inverse, extended, hit);
    return true;
}

namespace {

bool near_in_xz(float x, float z, const Vec3 *centre, float r) {
    float dx = x - centre->x, dz = z - centre->z;
    return std::fabs(dx) <= r && std::fabs(dz) <= r && dx * dx + dz * dz <= r * r;
}

// The point lies in the triangle's shadow on the xz plane, edges included (upward triangles).
// A shadow without area holds no point: its three values are 0 wherever the point lies.
bool inside_shadow(const CollMeshTriangle *t, float x, float z) {
    const Vec3 *corner[3] = {&t->a, &t->b, &t->c};
    bool inner = false;
    for (int i = 0; i < 3; ++i) {
        const Vec3 *p = corner[i], *q = corner[(i + 1) % 3];
        float v = (q->x - p->x) * (z - p->z) - (q->z - p->z) * (x - p->x);
        if (!(v <= 0.0f)) return false;
        inner |= v < 0.0f;
    }
    return inner;
}

// Grid index of v along one axis: in [0, n) before truncation, else false.
bool column_index(float v, float lo, float hi, uint32_t n, uint32_t *out) {
    float f = (v - lo) / (hi - lo) * static_cast<float>(n);
    if (!(f >= 0.0f && f < static_cast<float>(n))) return false;
    *out = static_cast<uint32_t>(f);
    if (*out >= n) *out = n - 1;
    return true;
}

} // namespace

bool coll_mesh_ground(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *point,
                      CollMeshHit *hit) {
    const Vec3 down = {0.0f, -10000.0f, 0.0f};
    // A NaN in the matrix compares as no difference from the identity.
    if (transform && !coll_finite_matrix(transform)) return false;
    if (transform && mat4_differs_from_identity(transform, 1e-5f))
        return coll_mesh_segment(mesh, transform, point, &down, false, hit);
    const CollMeshHeader *h = res_collmesh_header(mesh);
    if (!h || !coll_finite_segment(point, &down)) return false;
    uint32_t ix, iz;
    if (!column_index(point->x, h->grid_min.x, h->grid_max.x, h->grid[0], &ix) ||
        !column_index(point->z, h->grid_min.z, h->grid_max.z, h->grid[2], &iz))
        return false;
    CollSegment g;
    coll_segment_init(&g, point, &down);
    const float x = point->x, z = point->z;

    Best best{999.9f, nullptr, nullptr};
    Visited visited;
    visited.start(h->cell_count);
    for (uint32_t iy = 0; iy < h->grid[1]; ++iy) {
        uint32_t index = (iz * h->grid[1] + iy) * h->grid[0] + ix;
        const CollMeshCell *cell = res_collmesh_cell(mesh, h, index);
        if (!cell || !near_in_xz(x, z, &cell->centre, cell->radius)) continue;
        const Vec3 &c = cell->box_centre, &e = cell->box_half;
        if (!(x >= c.x - e.x && x <= c.x + e.x && z >= c.z - e.z && z <= c.z + e.z)) continue;
        visited.set(index);
        const CollMeshTriangle *tris = res_collmesh_cell_triangles(mesh, cell);
        for (uint32_t j = 0; tris && j < cell->triangle_count; ++j) {
            const CollMeshTriangle *t = &tris[j];
            float hit_t;
            // Only upward faces are floors: a wall's shadow is an edge and would be found
            // under every point along it.
            if (!near_in_xz(x, z, &t->centre, t->radius) || !(t->normal.y > 0.0f) ||
                !inside_shadow(t, x, z) ||
                !coll_segment_triangle(&g, &t->a, &t->b, &t->c, &t->normal, &hit_t))
                continue;
            if (hit_t < best.t) best = Best{hit_t, t, cell};
        }
    }
    try_large(
        mesh, h, visited, &best,
        [&](const CollMeshTriangle *t) { return near_in_xz(x, z, &t->centre, t->radius); },
        [&](const CollMeshTriangle *t, float *out_t) {
            return t->normal.y > 0.0f &&
                   coll_segment_triangle(&g, &t->a, &t->b, &t->c, &t->normal, out_t);
        });
    if (!best.triangle) return false;
    Mat4 inverse;
    const Mat4 *world =
        transform && mat4_inverse_checked(&inverse, transform) ? transform : nullptr;
    finish_hit(best, world, &inverse, false, hit);
    return true;
}

uint8_t coll_raycast_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *start,
                          const Vec3 *delta, Vec3 *out_point, Vec3 *out_normal,
                          uint32_t *out_face) {
    CollMeshHit hit;
    if (!coll_mesh_segment(mesh, transform, start, delta, false, &hit)) return 0;
    if (out_point) vec3_add_scaled(out_point, start, delta, hit.t);
    if (out_normal) *out_normal = hit.normal;
    if (out_face) *out_face = hit.face;
    return 1;
}

uint8_t coll_segment_mesh_t(const CollisionMeshRecord *mesh, const Mat4 *transform,
                            const Vec3 *start, const Vec3 *delta, float *out_t, Vec3 *out_normal,
                            uint32_t *out_face) {
    CollMeshHit hit;
    if (!coll_mesh_segment(mesh, transform, start, delta, false, &hit)) return 0;
    if (out_t) *out_t = hit.t;
    if (out_normal) *out_normal = hit.normal;
    if (out_face) *out_face = hit.face;
    return 1;
}

uint8_t coll_segment_slide_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform,
                                const Vec3 *start, const Vec3 *delta, Vec3 *out_hit,
                                Vec3 *out_slide, Vec3 *out_normal, uint32_t *out_face) {
    CollMeshHit hit;
    if (!coll_mesh_segment(mesh, transform, start, delta, true, &hit)) return 0;
    if (out_hit) vec3_add_scaled(out_hit, start, delta, hit.t);
    if (out_slide) {
        Vec3 end, ea;
        vec3_add(&end, start, delta);
        float along = vec3_dot(vec3_sub(&ea, &end, &hit.corners[0]), &hit.normal);
        vec3_add_scaled(out_slide, &end, &hit.normal, -along);
    }
    if (out_normal) *out_normal = hit.normal;
    if (out_face) *out_face = hit.face;
    return 1;
}

uint8_t coll_sphere_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *centre,
                         float radius, Vec3 *out_closest, float *out_depth, Vec3 *out_normal,
                         uint32_t *out_face) {
    const CollMeshHeader *h = res_collmesh_header(mesh);
    Mat4 inverse;
    Vec3 c = *centre;
    if (!h || !coll_usable_sphere(centre, radius) ||
        (transform &&
         (!coll_finite_matrix(transform) || !mat4_inverse_checked(&inverse, transform))))
        return 0;
    if (transform) mat4_transform_point(&c, &inverse, centre);

    float best = 999999995904.0f;
    const CollMeshTriangle *best_t = nullptr;
    Vec3 best_q{};
    float best_depth = 0.0f;
    auto overlaps = [&](const Vec3 *other, float r) {
        float reach = radius + r;
        return vec3_distance_sq(&c, other) <= reach * reach;
    };
    auto test = [&](const CollMeshTriangle *t) {
        Vec3 q;
        float depth;
        if (!t || !overlaps(&t->centre, t->radius) || zero_normal(t) ||
            !coll_sphere_triangle(&t->a, &t->b, &t->c, &t->normal, &c, radius, &q, &depth))
            return;
        float d = vec3_distance_sq(&c, &q);
        if (d < best) {
            best = d;
            best_t = t;
            best_q = q;
            best_depth = depth;
        }
    };
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *cell = res_collmesh_cell(mesh, h, i);
        if (!cell || !overlaps(&cell->centre, cell->radius)) continue;
        for (uint32_t j = 0; j < cell->triangle_count; ++j)
            test(res_collmesh_cell_triangle(mesh, cell, j));
    }
    for (uint32_t i = 0; i < h->large_count; ++i) {
        const CollMeshLarge *l = res_collmesh_large(mesh, h, i);
        if (l) test(&l->triangle);
    }
    if (!best_t) return 0;
    if (out_closest) {
        if (transform) {
            mat4_transform_point(out_closest, transform, &best_q);
        } else {
            *out_closest = best_q;
        }
    }
    if (out_depth) *out_depth = best_depth;
    if (out_normal) {
        if (transform) {
            coll_world_normal(out_normal, &inverse, &best_t->normal);
        } else {
            *out_normal = best_t->normal;
        }
    }
    if (out_face) *out_face = best_t->face;
    return 1;
}
