// Collision-mesh and shape-set bodies. Geometry is worked out in double precision and stored as
// floats; every box is padded a little so that the stored floats still enclose what they hold.
#include "tools/packer/pack_collision.h"

#include "tools/packer/packer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <istream>

namespace {

// Byte layout of a collision-mesh body.
constexpr uint32_t HEADER_SIZE = 88;
constexpr uint32_t CELL_SIZE = 48;
constexpr uint32_t TRIANGLE_SIZE = 72;
constexpr uint32_t LARGE_SIZE = 80;
constexpr uint32_t LEVEL_SIZE = 28;
constexpr uint32_t NODE_SIZE = 60; // 44 bytes and four child numbers
constexpr uint32_t CELLS_ARE_CHILDREN = 0xFFFFFFFFu;
constexpr uint64_t MAX_CELLS = 1u << 24;

struct Writer {
    std::vector<uint8_t> b;
    void u32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void f32(size_t at, double d) {
        float f = static_cast<float>(d);
        uint32_t v;
        std::memcpy(&v, &f, 4);
        u32(at, v);
    }
    void vec(size_t at, const double *v) {
        for (int k = 0; k < 3; ++k) f32(at + 4 * k, v[k]);
    }
    // Reserves n zeroed bytes at the 4-aligned end and returns their offset.
    uint32_t reserve(size_t n) {
        b.resize((b.size() + 3) & ~static_cast<size_t>(3), 0);
        size_t at = b.size();
        b.resize(at + n, 0);
        return static_cast<uint32_t>(at);
    }
};

// A box as centre and half extents, padded by a relative and an absolute margin.
struct Box {
    double c[3], h[3];
};

Box padded(const double *lo, const double *hi) {
    Box box;
    for (int k = 0; k < 3; ++k) {
        box.c[k] = 0.5 * (lo[k] + hi[k]);
        box.h[k] = 0.5 * (hi[k] - lo[k]) * (1.0 + 1e-5) + 1e-5;
    }
    return box;
}

double box_radius(const Box &box) {
    return std::sqrt(box.h[0] * box.h[0] + box.h[1] * box.h[1] + box.h[2] * box.h[2]) *
           (1.0 + 1e-6);
}

// Box centre, half extents, sphere centre and radius: the layout shared by cells and nodes.
void put_bounds(Writer &w, size_t at, const Box &box) {
    w.vec(at, box.c);
    w.vec(at + 12, box.h);
    w.vec(at + 24, box.c);
    w.f32(at + 36, box_radius(box));
}

void corners_of(const PackCollTriangle &t, double p[3][3]) {
    for (int k = 0; k < 3; ++k) {
        p[0][k] = t.a[k];
        p[1][k] = t.b[k];
        p[2][k] = t.c[k];
    }
}

void put_triangle(Writer &w, size_t at, const PackCollTriangle &t) {
    double p[3][3];
    corners_of(t, p);
    double e1[3], e2[3], n[3], lo[3], hi[3];
    for (int k = 0; k < 3; ++k) {
        e1[k] = p[1][k] - p[0][k];
        e2[k] = p[2][k] - p[0][k];
        lo[k] = std::min({p[0][k], p[1][k], p[2][k]});
        hi[k] = std::max({p[0][k], p[1][k], p[2][k]});
    }
    n[0] = e1[1] * e2[2] - e1[2] * e2[1];
    n[1] = e1[2] * e2[0] - e1[0] * e2[2];
    n[2] = e1[0] * e2[1] - e1[1] * e2[0];
    double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int k = 0; k < 3; ++k) n[k] = len > 0 ? n[k] / len : 0.0; // degenerate: zero normal
    double centre[3], radius = 0;
    for (int k = 0; k < 3; ++k) centre[k] = 0.5 * (lo[k] + hi[k]);
    for (int i = 0; i < 3; ++i) {
        double d = 0;
        for (int k = 0; k < 3; ++k) d += (p[i][k] - centre[k]) * (p[i][k] - centre[k]);
        radius = std::max(radius, std::sqrt(d));
    }
    for (int i = 0; i < 3; ++i) w.vec(at + 12 * i, p[i]);
    w.vec(at + 36, n);
    w.vec(at + 48, centre);
    w.f32(at + 60, radius * (1.0 + 1e-6) + 1e-6);
    w.f32(at + 64, 0.0);
    w.u32(at + 68, t.face);
}

// One level of nodes over the items below it, laid out as a grid of dims[0] x dims[1] x dims[2]
// (x fastest). Two axes longer than 1 are halved (2 x 2 blocks), or one axis quartered.
struct Level {
    uint32_t dims[3];
    std::vector<Box> boxes;
    std::vector<uint32_t> children; // four per node
};

Level group_level(const uint32_t *dims, const std::vector<Box> &items) {
    // Axes longer than 1, longest first; ties prefer x, then z, then y.
    int order[3] = {0, 2, 1};
    std::stable_sort(order, order + 3, [&](int a, int b) { return dims[a] > dims[b]; });
    uint32_t step[3] = {1, 1, 1};
    if (dims[order[1]] > 1) {
        step[order[0]] = step[order[1]] = 2;
    } else {
        step[order[0]] = 4;
    }
    Level level;
    for (int k = 0; k < 3; ++k) level.dims[k] = (dims[k] + step[k] - 1) / step[k];
    for (uint32_t z = 0; z < level.dims[2]; ++z)
        for (uint32_t y = 0; y < level.dims[1]; ++y)
            for (uint32_t x = 0; x < level.dims[0]; ++x) {
                std::vector<uint32_t> kids;
                for (uint32_t dz = 0; dz < step[2]; ++dz)
                    for (uint32_t dy = 0; dy < step[1]; ++dy)
                        for (uint32_t dx = 0; dx < step[0]; ++dx) {
                            uint32_t ix = x * step[0] + dx, iy = y * step[1] + dy,
                                     iz = z * step[2] + dz;
                            if (ix < dims[0] && iy < dims[1] && iz < dims[2])
                                kids.push_back((iz * dims[1] + iy) * dims[0] + ix);
                        }
                // Every node has four children: a short block repeats its last one.
                while (kids.size() < 4) kids.push_back(kids.back());
                double lo[3], hi[3];
                for (int k = 0; k < 3; ++k) {
                    lo[k] = HUGE_VAL;
                    hi[k] = -HUGE_VAL;
                }
                for (uint32_t kid : kids)
                    for (int k = 0; k < 3; ++k) {
                        lo[k] = std::min(lo[k], items[kid].c[k] - items[kid].h[k]);
                        hi[k] = std::max(hi[k], items[kid].c[k] + items[kid].h[k]);
                    }
                level.boxes.push_back(padded(lo, hi));
                level.children.insert(level.children.end(), kids.begin(), kids.end());
            }
    return level;
}

} // namespace

std::vector<uint8_t> pack_collision_mesh_body(const std::string &name,
                                              const std::vector<PackCollTriangle> &triangles,
                                              const PackCollGrid &grid, PackCollInfo *info) {
    const uint32_t n[3] = {grid.nx, grid.ny, grid.nz};
    uint64_t cell_count = static_cast<uint64_t>(n[0]) * n[1] * n[2];
    if (cell_count == 0 || cell_count > MAX_CELLS) return {};

    // The grid box: every corner, padded so that no axis is flat.
    double lo[3] = {-1, -1, -1}, hi[3] = {1, 1, 1};
    if (!triangles.empty()) {
        for (int k = 0; k < 3; ++k) {
            lo[k] = HUGE_VAL;
            hi[k] = -HUGE_VAL;
        }
        for (const PackCollTriangle &t : triangles) {
            double p[3][3];
            corners_of(t, p);
            for (auto &c : p)
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], c[k]);
                    hi[k] = std::max(hi[k], c[k]);
                }
        }
    }
    double sphere_centre[3], sphere_radius = 0;
    for (int k = 0; k < 3; ++k) sphere_centre[k] = 0.5 * (lo[k] + hi[k]);
    for (const PackCollTriangle &t : triangles) {
        double p[3][3];
        corners_of(t, p);
        for (auto &c : p) {
            double d = 0;
            for (int k = 0; k < 3; ++k) d += (c[k] - sphere_centre[k]) * (c[k] - sphere_centre[k]);
            sphere_radius = std::max(sphere_radius, std::sqrt(d));
        }
    }
    double extent = std::max({hi[0] - lo[0], hi[1] - lo[1], hi[2] - lo[2]});
    double pad = 1e-4 * extent + 1e-3;
    double cell_size[3];
    for (int k = 0; k < 3; ++k) {
        lo[k] -= pad;
        hi[k] += pad;
        cell_size[k] = (hi[k] - lo[k]) / n[k];
    }

    // Each triangle's cell range on every axis.
    std::vector<std::vector<uint32_t>> cell_tris(cell_count);
    std::vector<uint32_t> large;
    std::vector<std::vector<uint32_t>> large_cells;
    for (uint32_t i = 0; i < triangles.size(); ++i) {
        double p[3][3];
        corners_of(triangles[i], p);
        uint32_t first[3], last[3];
        for (int k = 0; k < 3; ++k) {
            // The cell a point maps to, worked out in floats from the stored box exactly as the
            // ground query picks its column, so every point of the triangle finds it.
            const float box_lo = static_cast<float>(lo[k]), box_hi = static_cast<float>(hi[k]);
            auto index = [&](double v) {
                float f =
                    (static_cast<float>(v) - box_lo) / (box_hi - box_lo) * static_cast<float>(n[k]);
                double cell = std::floor(static_cast<double>(f));
                return static_cast<uint32_t>(std::clamp(cell, 0.0, static_cast<double>(n[k] - 1)));
            };
            first[k] = index(std::min({p[0][k], p[1][k], p[2][k]}));
            last[k] = index(std::max({p[0][k], p[1][k], p[2][k]}));
        }
        std::vector<uint32_t> cells;
        for (uint32_t z = first[2]; z <= last[2]; ++z)
            for (uint32_t y = first[1]; y <= last[1]; ++y)
                for (uint32_t x = first[0]; x <= last[0]; ++x)
                    cells.push_back((z * n[1] + y) * n[0] + x);
        if (cells.size() == 1) {
            cell_tris[cells[0]].push_back(i);
        } else {
            large.push_back(i);
            large_cells.push_back(cells);
        }
    }

    std::vector<Box> cell_boxes(cell_count);
    for (uint32_t z = 0; z < n[2]; ++z)
        for (uint32_t y = 0; y < n[1]; ++y)
            for (uint32_t x = 0; x < n[0]; ++x) {
                const uint32_t at[3] = {x, y, z};
                double clo[3], chi[3];
                for (int k = 0; k < 3; ++k) {
                    clo[k] = lo[k] + at[k] * cell_size[k];
                    chi[k] = lo[k] + (at[k] + 1) * cell_size[k];
                }
                cell_boxes[(z * n[1] + y) * n[0] + x] = padded(clo, chi);
            }

    std::vector<Level> levels;
    uint32_t dims[3] = {n[0], n[1], n[2]};
    const std::vector<Box> *items = &cell_boxes;
    for (;;) {
        uint64_t count = static_cast<uint64_t>(dims[0]) * dims[1] * dims[2];
        bool more = grid.levels < 0
                        ? (count > 4 || (levels.empty() && count > 1))
                        : (static_cast<int32_t>(levels.size()) < grid.levels && count > 1);
        if (!more) break;
        levels.push_back(group_level(dims, *items));
        std::memcpy(dims, levels.back().dims, sizeof dims);
        items = &levels.back().boxes;
    }

    Writer w;
    w.reserve(HEADER_SIZE);
    uint32_t name_at = w.reserve(name.size() + 1);
    std::memcpy(&w.b[name_at], name.c_str(), name.size());
    w.u32(0, name_at);
    w.u32(4, static_cast<uint32_t>(cell_count));
    for (int k = 0; k < 3; ++k) {
        w.u32(8 + 4 * k, n[k]);
        w.f32(20 + 4 * k, lo[k]);
        w.f32(32 + 4 * k, hi[k]);
    }
    w.vec(44, sphere_centre);
    w.f32(60, sphere_radius > 0 ? sphere_radius * (1.0 + 1e-6) + 1e-6 : 0.0);

    uint32_t cells_at = w.reserve(cell_count * CELL_SIZE);
    w.u32(64, cells_at);
    for (uint32_t c = 0; c < cell_count; ++c) {
        size_t at = cells_at + static_cast<size_t>(c) * CELL_SIZE;
        uint32_t tris_at = w.reserve(cell_tris[c].size() * TRIANGLE_SIZE);
        w.u32(at, static_cast<uint32_t>(cell_tris[c].size()));
        w.u32(at + 4, tris_at);
        put_bounds(w, at + 8, cell_boxes[c]);
        for (size_t j = 0; j < cell_tris[c].size(); ++j)
            put_triangle(w, tris_at + j * TRIANGLE_SIZE, triangles[cell_tris[c][j]]);
    }

    uint32_t large_at = w.reserve(large.size() * LARGE_SIZE);
    w.u32(72, large.empty() ? 0 : large_at);
    w.u32(76, static_cast<uint32_t>(large.size()));
    for (size_t j = 0; j < large.size(); ++j) {
        size_t at = large_at + j * LARGE_SIZE;
        uint32_t list_at = w.reserve(large_cells[j].size() * 4);
        w.u32(at, static_cast<uint32_t>(large_cells[j].size()));
        put_triangle(w, at + 4, triangles[large[j]]);
        w.u32(at + 76, list_at);
        for (size_t k = 0; k < large_cells[j].size(); ++k)
            w.u32(list_at + 4 * k, large_cells[j][k]);
    }

    uint32_t levels_at = w.reserve(levels.size() * LEVEL_SIZE);
    w.u32(80, levels.empty() ? 0 : levels_at);
    w.u32(84, static_cast<uint32_t>(levels.size()));
    for (size_t l = 0; l < levels.size(); ++l) {
        const Level &level = levels[l];
        size_t at = levels_at + l * LEVEL_SIZE;
        uint32_t nodes_at = w.reserve(level.boxes.size() * NODE_SIZE);
        w.u32(at, static_cast<uint32_t>(level.boxes.size()));
        w.u32(at + 16, l == 0 ? CELLS_ARE_CHILDREN : 0);
        w.u32(at + 24, nodes_at);
        for (size_t i = 0; i < level.boxes.size(); ++i) {
            size_t node = nodes_at + i * NODE_SIZE;
            w.u32(node, 4);
            put_bounds(w, node + 4, level.boxes[i]);
            for (int k = 0; k < 4; ++k) w.u32(node + 44 + 4 * k, level.children[i * 4 + k]);
        }
    }

    if (info) {
        info->cell_count = static_cast<uint32_t>(cell_count);
        info->cell_triangles = static_cast<uint32_t>(triangles.size() - large.size());
        info->large_triangles = static_cast<uint32_t>(large.size());
        info->level_count = static_cast<uint32_t>(levels.size());
        info->top_level_nodes =
            levels.empty() ? 0 : static_cast<uint32_t>(levels.back().boxes.size());
        for (int k = 0; k < 3; ++k) {
            info->grid_min[k] = static_cast<float>(lo[k]);
            info->grid_max[k] = static_cast<float>(hi[k]);
        }
    }
    return w.b;
}

std::vector<uint8_t> pack_shape_set_body(const std::string &name,
                                         const std::vector<PackSphere> &spheres) {
    Writer w;
    w.reserve(12);
    uint32_t name_at = w.reserve(name.size() + 1);
    std::memcpy(&w.b[name_at], name.c_str(), name.size());
    uint32_t spheres_at = w.reserve(spheres.size() * 16);
    w.u32(0, name_at);
    w.u32(4, spheres_at);
    w.u32(8, static_cast<uint32_t>(spheres.size()));
    for (size_t i = 0; i < spheres.size(); ++i) {
        const PackSphere &s = spheres[i];
        size_t at = spheres_at + i * 16;
        w.f32(at, s.radius);
        w.f32(at + 4, s.x);
        w.f32(at + 8, s.y);
        w.f32(at + 12, s.z);
    }
    return w.b;
}

bool pack_parse_triangle_list(const std::string &text, std::vector<PackCollTriangle> *triangles,
                              std::string *error) {
    return pack_parse_lines(text, "ax ay az bx by bz cx cy cz face", error, [&](std::istream &in) {
        PackCollTriangle t{};
        std::string face;
        for (float *p : {t.a, t.b, t.c})
            for (int k = 0; k < 3; ++k)
                if (!(in >> p[k])) return false;
        if (!(in >> face)) return false;
        char *end = nullptr;
        unsigned long long v = std::strtoull(face.c_str(), &end, 0);
        if (*end || v > 0xFFFFFFFFull) return false;
        t.face = static_cast<uint32_t>(v);
        triangles->push_back(t);
        return true;
    });
}

bool pack_parse_sphere_list(const std::string &text, std::vector<PackSphere> *spheres,
                            std::string *error) {
    return pack_parse_lines(text, "radius x y z", error, [&](std::istream &in) {
        PackSphere s{};
        if (!(in >> s.radius >> s.x >> s.y >> s.z)) return false;
        spheres->push_back(s);
        return true;
    });
}
