// Validation of collision-mesh and shape-set bodies, and the triangle queries.
#include "resource/res_collmesh.h"

#include <cmath>

namespace {

// A table of `count` records of `stride` bytes at `offset`: aligned and wholly inside the body.
bool table_fits(uint32_t size, uint32_t offset, uint64_t count, uint64_t stride) {
    if (count == 0) return true;
    return offset % 4 == 0 && static_cast<uint64_t>(offset) + count * stride <= size;
}

bool finite(const Vec3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

bool res_collmesh_validate(const uint8_t *body, uint32_t size) {
    const CollMeshHeader *h = res_body_record<CollMeshHeader>(body, size, 0);
    if (!h) return false;
    uint64_t cells = static_cast<uint64_t>(h->grid[0]) * h->grid[1] * h->grid[2];
    if (cells == 0 || cells != h->cell_count) return false;
    if (!finite(h->grid_min) || !finite(h->grid_max) || !finite(h->centre) ||
        !std::isfinite(h->radius))
        return false;
    if (!(h->grid_max.x > h->grid_min.x && h->grid_max.y > h->grid_min.y &&
          h->grid_max.z > h->grid_min.z))
        return false;

    if (!table_fits(size, h->cells, h->cell_count, sizeof(CollMeshCell))) return false;
    CollisionMeshRecord view{};
    view.data = const_cast<uint8_t *>(body);
    view.size = size;
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *c = res_collmesh_cell(&view, h, i);
        if (!table_fits(size, c->triangles, c->triangle_count, sizeof(CollMeshTriangle)))
            return false;
    }

    if (!table_fits(size, h->large, h->large_count, sizeof(CollMeshLarge))) return false;
    for (uint32_t i = 0; i < h->large_count; ++i) {
        const CollMeshLarge *l = res_collmesh_large(&view, h, i);
        if (!table_fits(size, l->cells, l->cell_count, 4)) return false;
        const uint32_t *list = res_collmesh_large_cells(&view, l);
        for (uint32_t k = 0; k < l->cell_count; ++k)
            if (list[k] >= h->cell_count) return false;
    }

    // Level i's children are the nodes of level i - 1, or cells at level 0 and wherever the
    // child-kind word says so (the walk stops there).
    if (!table_fits(size, h->levels, h->level_count, sizeof(CollMeshLevel))) return false;
    for (uint32_t i = 0; i < h->level_count; ++i) {
        const CollMeshLevel *l = res_collmesh_level(&view, h, i);
        if (!table_fits(size, l->nodes, l->node_count, sizeof(CollMeshNode))) return false;
        bool cells_below = i == 0 || l->child_kind == COLLMESH_CELLS_ARE_CHILDREN;
        uint32_t below =
            cells_below ? h->cell_count : res_collmesh_level(&view, h, i - 1)->node_count;
        for (uint32_t j = 0; j < l->node_count; ++j) {
            const CollMeshNode *n = res_collmesh_node(&view, l, j);
            if (n->child_count != 4) return false;
            for (uint32_t child : n->children)
                if (child >= below) return false;
        }
    }
    return true;
}

bool res_shape_set_validate(const uint8_t *body, uint32_t size, float *radius) {
    const uint32_t *words = res_body_record<uint32_t>(body, size, 0);
    if (!words || size < 12) return false; // name offset, sphere list offset, sphere count
    if (!table_fits(size, words[1], words[2], sizeof(ShapeSphere))) return false;
    float reach = 0.0f;
    for (uint32_t i = 0; i < words[2]; ++i) {
        const ShapeSphere *s = res_body_table<ShapeSphere>(body, size, words[1], words[2], i);
        if (!std::isfinite(s->radius) || !std::isfinite(s->x) || !std::isfinite(s->y) ||
            !std::isfinite(s->z))
            return false;
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
        if (out) {
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
        return true;
    }
    return false;
}
