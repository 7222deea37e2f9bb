// Validation of collision-mesh and shape-set bodies, and the triangle queries.
#include "resource/res_collmesh.h"

#include <cmath>

#include "resource/res_body_check.h"

namespace {

// A table of `count` records of `stride` bytes at `offset`: aligned and wholly inside the body.
// Non-empty tables are also noted in `ranges`.
bool table_fits(BodyRanges *ranges, uint32_t size, uint32_t offset, uint64_t count,
                uint64_t stride) {
    if (count == 0) return true;
    res_ranges_table(ranges, offset, count * stride);
    return offset % 4 == 0 && static_cast<uint64_t>(offset) + count * stride <= size;
}

// Box and bounding sphere of a cell or node.
bool bounds_ok(const Vec3 &box_centre, const Vec3 &box_half, const Vec3 &centre, float radius) {
    return res_vec_ok(box_centre) && res_vec_ok(box_half) && res_vec_ok(centre) &&
           res_value_ok(radius);
}

// Corners, centre and radius within the limit; the normal only finite, since it is made unit
// length (or zero) when the body is stored.
bool triangle_ok(const CollMeshTriangle &t) {
    return res_vec_ok(t.a) && res_vec_ok(t.b) && res_vec_ok(t.c) && res_vec_finite(t.normal) &&
           res_vec_ok(t.centre) && res_value_ok(t.radius);
}

} // namespace

bool res_collmesh_validate(const uint8_t *body, uint32_t size) {
    const CollMeshHeader *h = res_body_record<CollMeshHeader>(body, size, 0);
    if (!h) return false;
    // Three u32 counts can overflow 64 bits: nx * ny first, which always fits, then refused
    // once past what a u32 cell count can say.
    uint64_t cells = static_cast<uint64_t>(h->grid[0]) * h->grid[1];
    if (cells > UINT32_MAX) return false;
    cells *= h->grid[2];
    if (cells == 0 || cells != h->cell_count) return false;
    if (!res_vec_ok(h->grid_min) || !res_vec_ok(h->grid_max) || !res_vec_ok(h->centre) ||
        !res_value_ok(h->unused_float) || !res_value_ok(h->radius))
        return false;
    if (!(h->grid_max.x > h->grid_min.x && h->grid_max.y > h->grid_min.y &&
          h->grid_max.z > h->grid_min.z))
        return false;

    BodyRanges ranges = res_ranges_start(sizeof(CollMeshHeader));
    if (!res_ranges_text(&ranges, body, size, h->name)) return false;
    if (!table_fits(&ranges, size, h->cells, h->cell_count, sizeof(CollMeshCell))) return false;
    CollisionMeshRecord view{};
    view.data = const_cast<uint8_t *>(body);
    view.size = size;
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *c = res_collmesh_cell(&view, h, i);
        if (!bounds_ok(c->box_centre, c->box_half, c->centre, c->radius)) return false;
        if (!table_fits(&ranges, size, c->triangles, c->triangle_count, sizeof(CollMeshTriangle)))
            return false;
        const CollMeshTriangle *t = res_collmesh_cell_triangles(&view, c);
        for (uint32_t k = 0; k < c->triangle_count; ++k)
            if (!triangle_ok(t[k])) return false;
    }

    if (!table_fits(&ranges, size, h->large, h->large_count, sizeof(CollMeshLarge))) return false;
    for (uint32_t i = 0; i < h->large_count; ++i) {
        const CollMeshLarge *l = res_collmesh_large(&view, h, i);
        if (!triangle_ok(l->triangle)) return false;
        if (!table_fits(&ranges, size, l->cells, l->cell_count, 4)) return false;
        const uint32_t *list = res_collmesh_large_cells(&view, l);
        for (uint32_t k = 0; k < l->cell_count; ++k)
            if (list[k] >= h->cell_count) return false;
    }

    // Level i's children are the nodes of level i - 1, or cells at level 0 and wherever the
    // child-kind word says so (the walk stops there).
    if (!table_fits(&ranges, size, h->levels, h->level_count, sizeof(CollMeshLevel))) return false;
    for (uint32_t i = 0; i < h->level_count; ++i) {
        const CollMeshLevel *l = res_collmesh_level(&view, h, i);
        if (!table_fits(&ranges, size, l->nodes, l->node_count, sizeof(CollMeshNode))) return false;
        bool cells_below = i == 0 || l->child_kind == COLLMESH_CELLS_ARE_CHILDREN;
        uint32_t below =
            cells_below ? h->cell_count : res_collmesh_level(&view, h, i - 1)->node_count;
        for (uint32_t j = 0; j < l->node_count; ++j) {
            const CollMeshNode *n = res_collmesh_node(&view, l, j);
            if (n->child_count != 4) return false;
            if (!bounds_ok(n->box_centre, n->box_half, n->centre, n->radius)) return false;
            for (uint32_t child : n->children)
                if (child >= below) return false;
        }
    }
    // Every table and the name after the header, and no two tables sharing a byte.
    return res_ranges_ok(&ranges);
}

namespace {

// The normal made unit length in double precision, or exactly zero when the corners span no
// area or the stored normal is zero. A normal already unit length to float precision is kept
// bit for bit.
void settle_normal(CollMeshTriangle *t) {
    const double e1[3] = {double(t->b.x) - t->a.x, double(t->b.y) - t->a.y,
                          double(t->b.z) - t->a.z};
    const double e2[3] = {double(t->c.x) - t->a.x, double(t->c.y) - t->a.y,
                          double(t->c.z) - t->a.z};
    const double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                             e1[0] * e2[1] - e1[1] * e2[0]};
    const double area = cross[0] * cross[0] + cross[1] * cross[1] + cross[2] * cross[2];
    const double n[3] = {t->normal.x, t->normal.y, t->normal.z};
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (area == 0.0 || length == 0.0) {
        t->normal = {0.0f, 0.0f, 0.0f};
        return;
    }
    if (std::fabs(length - 1.0) <= 1e-6) return;
    t->normal = {float(n[0] / length), float(n[1] / length), float(n[2] / length)};
}

} // namespace

bool res_collmesh_prepare(CollisionMeshRecord *r, const ResourceBuffer *owner) {
    // The normals are rewritten in place: only a copy held in the pool's own data buffer.
    if (!r || !r->data || !owner || !owner->start || r->data < owner->start ||
        static_cast<uint64_t>(r->data - owner->start) + r->size > owner->size)
        return false;
    if (!res_collmesh_validate(r->data, r->size)) return false;
    const CollMeshHeader *h = res_collmesh_header(r);
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *c = res_collmesh_cell(r, h, i);
        CollMeshTriangle *t = const_cast<CollMeshTriangle *>(res_collmesh_cell_triangles(r, c));
        for (uint32_t k = 0; k < c->triangle_count; ++k) settle_normal(&t[k]);
    }
    for (uint32_t i = 0; i < h->large_count; ++i)
        settle_normal(&const_cast<CollMeshLarge *>(res_collmesh_large(r, h, i))->triangle);
    return true;
}

bool res_shape_set_validate(const uint8_t *body, uint32_t size, float *radius) {
    const uint32_t *words = res_body_record<uint32_t>(body, size, 0);
    if (!words || size < 12) return false; // name offset, sphere list offset, sphere count
    BodyRanges ranges = res_ranges_start(12);
    if (!res_ranges_text(&ranges, body, size, words[0])) return false;
    if (!table_fits(&ranges, size, words[1], words[2], sizeof(ShapeSphere)) ||
        !res_ranges_ok(&ranges))
        return false;
    float reach = 0.0f;
    for (uint32_t i = 0; i < words[2]; ++i) {
        // Within the value limit, a reach is below 3e9 and its square stays finite.
        const ShapeSphere *s = res_body_table<ShapeSphere>(body, size, words[1], words[2], i);
        if (!res_value_ok(s->radius) || !res_vec_ok({s->x, s->y, s->z})) return false;
        float sq = s->x * s->x + s->y * s->y + s->z * s->z;
        float length = sq < 1e-10f ? 0.0f : std::sqrt(sq);
        if (length + s->radius > reach) reach = length + s->radius;
    }
    if (radius) *radius = reach;
    return true;
}

uint32_t res_shape_set_sphere_count(const ShapeSetRecord *r) {
    const uint32_t *count = r ? res_body_record<uint32_t>(r->data, r->size, 8) : nullptr;
    return count ? *count : 0;
}

const ShapeSphere *res_shape_set_sphere(const ShapeSetRecord *r, uint32_t i) {
    const uint32_t *list = r ? res_body_record<uint32_t>(r->data, r->size, 4) : nullptr;
    if (!list) return nullptr;
    return res_body_table<ShapeSphere>(r->data, r->size, *list, res_shape_set_sphere_count(r), i);
}

int32_t res_collmesh_triangle_count(ResourceHandle mesh) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    const CollMeshHeader *h = res_collmesh_header(r);
    if (!h) return 0;
    int64_t total = 0;
    for (uint32_t i = 0; i < h->cell_count; ++i)
        if (const CollMeshCell *c = res_collmesh_cell(r, h, i)) total += c->triangle_count;
    return total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
}

static void fill_info(const CollMeshTriangle *t, CollMeshTriangleInfo *out) {
    out->corners[0] = t->a;
    out->corners[1] = t->b;
    out->corners[2] = t->c;
    out->normal = t->normal;
    const float third = 0.33333334f;
    out->centroid = {(t->a.x + t->b.x + t->c.x) * third, (t->a.y + t->b.y + t->c.y) * third,
                     (t->a.z + t->b.z + t->c.z) * third};
    out->centre = t->centre;
    out->radius = t->radius;
    out->face = t->face;
}

bool res_collmesh_triangle(ResourceHandle mesh, int32_t index, CollMeshTriangleInfo *out) {
    const CollisionMeshRecord *r = res_collmesh_record(mesh);
    const CollMeshHeader *h = res_collmesh_header(r);
    if (!h || index < 0) return false;
    uint32_t left = static_cast<uint32_t>(index);
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *c = res_collmesh_cell(r, h, i);
        if (!c) return false;
        if (left >= c->triangle_count) {
            left -= c->triangle_count;
            continue;
        }
        const CollMeshTriangle *t = res_collmesh_cell_triangle(r, c, left);
        if (!t) return false;
        if (out) fill_info(t, out);
        return true;
    }
    return false;
}

bool res_collmesh_walk_begin(CollMeshWalk *w, ResourceHandle mesh) {
    *w = CollMeshWalk{};
    w->record = res_collmesh_record(mesh);
    w->header = res_collmesh_header(w->record);
    return w->header != nullptr;
}

bool res_collmesh_walk_next(CollMeshWalk *w, CollMeshTriangleInfo *out) {
    if (!w->header) return false;
    for (; w->cell < w->header->cell_count; ++w->cell, w->next = 0) {
        const CollMeshCell *c = res_collmesh_cell(w->record, w->header, w->cell);
        if (!c) return false;
        if (w->next >= c->triangle_count) continue;
        const CollMeshTriangle *t = res_collmesh_cell_triangle(w->record, c, w->next++);
        if (!t) return false;
        if (out) fill_info(t, out);
        return true;
    }
    return false;
}
