// "MMMM" body reader: header and array checks, welding of corners into shared vertices,
// smoothed normals, tangents, bones and materials.
#include "resource/model_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "resource/chunks.h"

namespace {

constexpr uint32_t HEADER_WORDS = 28;
constexpr uint32_t HEADER_SIZE = HEADER_WORDS * 4;
constexpr uint32_t MATERIAL_SIZE = 16;
constexpr uint32_t BONE_MATRIX_SIZE = 64;
constexpr uint32_t ATTRIBUTES = 5; // position, normal, texture coordinates, skin, colour
constexpr uint32_t ATTRIBUTE_SIZE[ATTRIBUTES] = {12, 12, 8, 20, 4};
constexpr uint32_t MAX_WELDED_VERTICES = 0xFFFF; // 16-bit indices

// Header words.
enum {
    W_TRIANGLES = 0,
    W_NAME = 1,
    W_ARRAYS = 2,       // five array offsets
    W_INDEX_ARRAYS = 7, // five index-array offsets
    W_BONE_COUNT = 12,
    W_SKINNED = 13,
    W_BONE_NAMES = 14,
    W_BONE_MATRICES = 15,
    W_BOX = 16,
    W_SPHERE = 22,
    W_RADIUS = 26,
    W_MATERIALS = 27,
};

// The body and its header, read once; arrays are read through checked offsets.
struct Body {
    const uint8_t *bytes;
    uint32_t size;
    uint32_t w[HEADER_WORDS];

    // True when `count` items of `item` bytes from `offset` lie inside the body (64-bit sums).
    bool holds(uint32_t offset, uint64_t count, uint64_t item) const {
        return (uint64_t)offset + count * item <= size;
    }
    // How many items of `item` bytes fit from `offset` to the end of the body.
    uint64_t items_from(uint32_t offset, uint32_t item) const {
        return offset <= size ? (size - offset) / item : 0;
    }
    float f32(uint32_t offset) const {
        float f;
        std::memcpy(&f, bytes + offset, 4);
        return f;
    }
    float word_f32(int word) const {
        float f;
        std::memcpy(&f, &w[word], 4);
        return f;
    }
    uint16_t u16(uint32_t offset) const {
        uint16_t v;
        std::memcpy(&v, bytes + offset, 2);
        return v;
    }
    uint32_t u32(uint32_t offset) const {
        uint32_t v;
        std::memcpy(&v, bytes + offset, 4);
        return v;
    }
    const char *text(uint32_t offset) const {
        uint32_t len;
        return chunk_text_length(bytes, size, offset, &len)
                   ? reinterpret_cast<const char *>(bytes + offset)
                   : nullptr;
    }
};

// The corners of a body: per corner its five attribute indices (0 for absent attributes).
struct Corners {
    uint32_t count = 0;
    bool present[ATTRIBUTES] = {};
    uint32_t highest[ATTRIBUTES] = {}; // the highest item named, per present attribute
    std::vector<uint16_t> index;       // 5 per corner
    uint16_t at(uint32_t corner, uint32_t attribute) const { return index[corner * 5 + attribute]; }
};

const char *read_corners(const Body &b, Corners *c) {
    const uint32_t t = b.w[W_TRIANGLES];
    const uint64_t corners = 3ull * t;
    for (uint32_t a = 0; a < ATTRIBUTES; ++a)
        c->present[a] = b.w[W_ARRAYS + a] != 0 && b.w[W_INDEX_ARRAYS + a] != 0 &&
                        (a != 3 || b.w[W_SKINNED] != 0);
    if (!c->present[0]) return "the model has no positions";
    // Each index array holds 3T u16 entries (6T bytes), checked before anything is allocated.
    for (uint32_t a = 0; a < ATTRIBUTES; ++a)
        if (c->present[a] && !b.holds(b.w[W_INDEX_ARRAYS + a], corners, 2))
            return "an index array runs past the end of the body";
    c->count = static_cast<uint32_t>(corners);
    c->index.assign(corners * 5, 0);
    for (uint32_t a = 0; a < ATTRIBUTES; ++a) {
        if (!c->present[a]) continue;
        // The arrays carry no counts: every index must name an item inside the body.
        const uint64_t items = b.items_from(b.w[W_ARRAYS + a], ATTRIBUTE_SIZE[a]);
        const uint32_t from = b.w[W_INDEX_ARRAYS + a];
        for (uint32_t k = 0; k < c->count; ++k) {
            const uint16_t i = b.u16(from + 2 * k);
            if (i >= items) return "an index names an item past the end of the body";
            c->index[k * 5 + a] = i;
            c->highest[a] = std::max<uint32_t>(c->highest[a], i);
        }
    }
    if (c->present[3]) {
        const uint32_t bones = b.w[W_BONE_COUNT];
        const uint32_t skins = b.w[W_ARRAYS + 3];
        for (uint32_t k = 0; k < c->count; ++k)
            for (uint32_t j = 0; j < 4; ++j)
                if (b.bytes[skins + 20u * c->at(k, 3) + j] >= bones)
                    return "a skin entry names a bone the model does not have";
    }
    return nullptr;
}

// Welding: corners with equal five-index tuples share one vertex. Sorted by the whole tuple,
// then by corner number, so a run starts at its smallest corner and the result never depends
// on the sort routine. Vertices are numbered in the order their first corner appears.
const char *weld(const Corners &c, std::vector<uint32_t> *corner_vertex,
                 std::vector<uint32_t> *first_corner) {
    std::vector<uint32_t> order(c.count);
    for (uint32_t k = 0; k < c.count; ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](uint32_t x, uint32_t y) {
        for (uint32_t a = 0; a < ATTRIBUTES; ++a)
            if (c.at(x, a) != c.at(y, a)) return c.at(x, a) < c.at(y, a);
        return x < y;
    });
    std::vector<uint32_t> run_first(c.count);
    for (uint32_t s = 0; s < c.count; ++s) {
        const uint32_t k = order[s];
        const bool same = s > 0 && std::memcmp(&c.index[k * 5], &c.index[order[s - 1] * 5],
                                               5 * sizeof(uint16_t)) == 0;
        run_first[k] = same ? run_first[order[s - 1]] : k;
    }
    corner_vertex->assign(c.count, 0);
    first_corner->clear();
    for (uint32_t k = 0; k < c.count; ++k) {
        if (run_first[k] != k) {
            (*corner_vertex)[k] = (*corner_vertex)[run_first[k]];
            continue;
        }
        if (first_corner->size() >= MAX_WELDED_VERTICES)
            return "the model welds into more than 65,535 vertices";
        (*corner_vertex)[k] = static_cast<uint32_t>(first_corner->size());
        first_corner->push_back(k);
    }
    return nullptr;
}

// Scales v to unit length; a zero vector stays zero. Scaled by its largest component first, so
// no finite vector overflows on the way.
void normalise(double *v) {
    const double m = std::fmax(std::fabs(v[0]), std::fmax(std::fabs(v[1]), std::fabs(v[2])));
    if (!(m > 0.0)) {
        v[0] = v[1] = v[2] = 0.0;
        return;
    }
    for (int i = 0; i < 3; ++i) v[i] /= m;
    const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= len;
}

// Tangents from the triangles' texture-space edges, in double: with the value limit every sum
// stays far inside its range. Triangles whose texture-space determinant is (near) zero add
// nothing.
void make_tangents(ModelReadout *r, const std::vector<uint32_t> &corner_vertex) {
    const uint32_t n = r->desc.vertex_count;
    std::vector<double> tan(3 * (size_t)n, 0.0), bit(3 * (size_t)n, 0.0);
    const float *p = r->positions.data();
    const float *uv = r->texcoords.data();
    for (size_t t = 0; t + 2 < corner_vertex.size(); t += 3) {
        const uint32_t v0 = corner_vertex[t], v1 = corner_vertex[t + 1], v2 = corner_vertex[t + 2];
        double e1[3], e2[3];
        for (int a = 0; a < 3; ++a) {
            e1[a] = (double)p[v1 * 3 + a] - p[v0 * 3 + a];
            e2[a] = (double)p[v2 * 3 + a] - p[v0 * 3 + a];
        }
        const double du1 = (double)uv[v1 * 2] - uv[v0 * 2];
        const double dv1 = (double)uv[v1 * 2 + 1] - uv[v0 * 2 + 1];
        const double du2 = (double)uv[v2 * 2] - uv[v0 * 2];
        const double dv2 = (double)uv[v2 * 2 + 1] - uv[v0 * 2 + 1];
        const double det = du1 * dv2 - du2 * dv1;
        if (!(std::fabs(det) >= 1e-12)) continue;
        const double inv = 1.0 / det;
        for (uint32_t v : {v0, v1, v2})
            for (int a = 0; a < 3; ++a) {
                tan[v * 3 + a] += (e1[a] * dv2 - e2[a] * dv1) * inv;
                bit[v * 3 + a] += (e2[a] * du1 - e1[a] * du2) * inv;
            }
    }
    r->tangents.assign(4 * (size_t)n, 0.0f);
    for (uint32_t v = 0; v < n; ++v) {
        const double nn[3] = {r->normals[v * 3], r->normals[v * 3 + 1], r->normals[v * 3 + 2]};
        double *t = &tan[v * 3];
        const double d = nn[0] * t[0] + nn[1] * t[1] + nn[2] * t[2];
        for (int a = 0; a < 3; ++a) t[a] -= nn[a] * d;
        normalise(t);
        const double c[3] = {nn[1] * t[2] - nn[2] * t[1], nn[2] * t[0] - nn[0] * t[2],
                             nn[0] * t[1] - nn[1] * t[0]};
        const double *b = &bit[v * 3];
        float *out = &r->tangents[v * 4];
        for (int a = 0; a < 3; ++a) out[a] = static_cast<float>(t[a]);
        out[3] = c[0] * b[0] + c[1] * b[1] + c[2] * b[2] < 0.0 ? -1.0f : 1.0f;
    }
}

const char *read_bones_and_materials(const Body &b, ModelReadout *r, const char *group) {
    const uint32_t bones = b.w[W_BONE_COUNT];
    if (bones > MODEL_MAX_BONES) return "the model has more than 128 bones";
    if (bones > 0) {
        if (!b.holds(b.w[W_BONE_NAMES], bones, 4) ||
            !b.holds(b.w[W_BONE_MATRICES], bones, BONE_MATRIX_SIZE))
            return "the bone tables run past the end of the body";
        r->bones.resize(bones);
        r->bone_offsets.resize(bones);
        for (uint32_t i = 0; i < bones; ++i) {
            const char *name = b.text(b.u32(b.w[W_BONE_NAMES] + 4 * i));
            if (!name) return "a bone name lies outside the body";
            std::memcpy(&r->bone_offsets[i], b.bytes + b.w[W_BONE_MATRICES] + 64 * i, 64);
            r->bones[i] = MeshDescBone{name, res_hash_name(name), &r->bone_offsets[i]};
        }
    }
    const uint32_t materials = b.w[W_MATERIALS];
    if (materials > MODEL_MAX_MATERIALS) return "the model has more than 255 materials";
    if (!b.holds(HEADER_SIZE, materials, MATERIAL_SIZE))
        return "the material table runs past the end of the body";
    r->materials.assign(materials, ModelMaterial{});
    r->subsets.assign(materials, MeshDescSubset{});
    for (uint32_t i = 0; i < materials; ++i) {
        const uint32_t at = HEADER_SIZE + MATERIAL_SIZE * i;
        ModelMaterial &m = r->materials[i];
        const uint32_t name_offset = b.u32(at);
        const char *name = name_offset ? b.text(name_offset) : nullptr;
        if (name_offset && !name) return "a material texture name lies outside the body";
        for (int k = 0; k < 3; ++k) m.words[k] = b.u32(at + 4 + 4 * k);
        m.slot_groups[0] = group;
        m.slot_names[0] = name;
        m.slot_count = name ? 1 : 0;
        // A material draws the triangles from its first word to its second.
        MeshDescSubset &s = r->subsets[i];
        s.first_triangle = m.words[0];
        s.last_triangle = m.words[1];
        for (int k = 0; k < 3; ++k) s.material[k] = m.words[k];
    }
    return nullptr;
}

// Every table of the body (the material table, the five attribute arrays up to the highest item
// named, the index arrays and the two bone tables) and every name (the model's, the bones', the
// materials') lies after the 112-byte header and overlaps no other table: a table inside the
// header or another table would read bytes meant for something else. Names may share bytes
// with each other, and one array may serve two attributes of the same shape (the index arrays,
// or positions and normals) when both start at the same offset.
const char *check_layout(const Body &b, const Corners &c) {
    enum Shape { VECTORS, COORDS, SKINS, COLORS, INDICES, MATERIALS, BONE_NAMES, BONE_MATRICES };
    constexpr Shape ARRAY_SHAPE[ATTRIBUTES] = {VECTORS, VECTORS, COORDS, SKINS, COLORS};
    struct Table {
        uint64_t from, to;
        Shape shape;
    };
    Table tables[2 * ATTRIBUTES + 3];
    int n = 0;
    auto add = [&](uint32_t offset, uint64_t bytes, Shape shape) {
        if (bytes) tables[n++] = {offset, offset + bytes, shape};
    };
    add(HEADER_SIZE, (uint64_t)MATERIAL_SIZE * b.w[W_MATERIALS], MATERIALS);
    for (uint32_t a = 0; a < ATTRIBUTES; ++a) {
        if (!c.present[a]) continue;
        add(b.w[W_ARRAYS + a], ((uint64_t)c.highest[a] + 1) * ATTRIBUTE_SIZE[a], ARRAY_SHAPE[a]);
        add(b.w[W_INDEX_ARRAYS + a], 2ull * c.count, INDICES);
    }
    const uint32_t bones = b.w[W_BONE_COUNT];
    add(b.w[W_BONE_NAMES], 4ull * bones, BONE_NAMES);
    add(b.w[W_BONE_MATRICES], (uint64_t)BONE_MATRIX_SIZE * bones, BONE_MATRICES);
    for (int i = 0; i < n; ++i) {
        if (tables[i].from < HEADER_SIZE) return "a table lies inside the header";
        for (int j = 0; j < i; ++j) {
            const Table &x = tables[i], &y = tables[j];
            const bool shared = x.from == y.from && x.shape == y.shape;
            if (x.from < y.to && y.from < x.to && !shared) return "two tables overlap";
        }
    }
    // Names, read from the header and the tables (all inside the body by now).
    auto name_fits = [&](uint32_t offset) {
        uint32_t len;
        if (!chunk_text_length(b.bytes, b.size, offset, &len)) return false;
        if (offset < HEADER_SIZE) return false;
        for (int i = 0; i < n; ++i)
            if (offset < tables[i].to && tables[i].from < (uint64_t)offset + len + 1) return false;
        return true;
    };
    if (!name_fits(b.w[W_NAME])) return "the model name lies in the header or a table";
    for (uint32_t i = 0; i < bones; ++i)
        if (!name_fits(b.u32(b.w[W_BONE_NAMES] + 4 * i)))
            return "a bone name lies in the header or a table";
    for (uint32_t i = 0; i < b.w[W_MATERIALS]; ++i) {
        const uint32_t name = b.u32(HEADER_SIZE + MATERIAL_SIZE * i);
        if (name && !name_fits(name))
            return "a material texture name lies in the header or a table";
    }
    return nullptr;
}

// Geometry values are finite and within +-RES_VALUE_LIMIT (1e9). Then an edge between two
// positions is at most 2e9 long, a cross product of two edges at most 8e18 per axis and its
// squared length at most 1.92e38, below the float maximum of 3.4e38: normals and lengths
// derived from the model in single precision stay finite. The same limit holds for normals,
// texture coordinates, skin weights, bone offset matrices and the box and sphere centre. The
// radius (and the float beside the centre) may reach MODEL_RADIUS_LIMIT (4e9), which holds
// every position within the limit seen from a centre within it (2 sqrt(3) x 1e9); it squares
// to 1.6e19, and (|centre| + radius)^2 stays below 3.4e19. Every item up to the highest one
// named is checked, as the smoothed normals read every position up to there.
const char *check_values(const Body &b, const Corners &c) {
    constexpr uint32_t FLOATS[ATTRIBUTES] = {3, 3, 2, 4, 0};
    constexpr uint32_t SKIP[ATTRIBUTES] = {0, 0, 0, 4, 0}; // skin entries: bone bytes first
    static const char *const WHY[ATTRIBUTES] = {
        "a position is not finite or beyond 1e9", "a normal is not finite or beyond 1e9",
        "a texture coordinate is not finite or beyond 1e9",
        "a skin weight is not finite or beyond 1e9", nullptr};
    for (uint32_t a = 0; a < ATTRIBUTES; ++a) {
        if (!c.present[a]) continue;
        for (uint32_t item = 0; item <= c.highest[a]; ++item)
            for (uint32_t k = 0; k < FLOATS[a]; ++k)
                if (!res_value_ok(
                        b.f32(b.w[W_ARRAYS + a] + ATTRIBUTE_SIZE[a] * item + SKIP[a] + 4 * k)))
                    return WHY[a];
    }
    for (int w = W_BOX; w < W_SPHERE + 3; ++w)
        if (!res_value_ok(b.word_f32(w))) return "a bound is not finite or beyond 1e9";
    for (int w : {W_SPHERE + 3, (int)W_RADIUS})
        if (!(std::fabs(b.word_f32(w)) <= MODEL_RADIUS_LIMIT))
            return "a bound radius is not finite or beyond 4e9";
    for (uint32_t k = 0; k < 16 * b.w[W_BONE_COUNT]; ++k)
        if (!res_value_ok(b.f32(b.w[W_BONE_MATRICES] + 4 * k)))
            return "a bone offset is not finite or beyond 1e9";
    return nullptr;
}

} // namespace

bool model_smooth_normals(const float *positions, uint32_t position_count,
                          const uint32_t *corner_pos, const float *corner_normals,
                          uint32_t corner_count, std::vector<float> *out) {
    std::vector<double> sum(3 * (size_t)position_count, 0.0);
    if (corner_normals)
        for (uint32_t k = 0; k < corner_count; ++k)
            for (int a = 0; a < 3; ++a) sum[corner_pos[k] * 3 + a] += corner_normals[k * 3 + a];
    const float *pos = positions;
    auto finite = [&](uint32_t p) {
        return std::isfinite(pos[p * 3]) && std::isfinite(pos[p * 3 + 1]) &&
               std::isfinite(pos[p * 3 + 2]);
    };

    // Equal positions (+0 and -0 alike) are one point holding their sums together, so any
    // number of copies costs one comparison per neighbour.
    struct Point {
        uint32_t first;  // a position index with this value
        int64_t cell[3]; // grid cell, a little wider than the tolerance
        double sum[3];   // the point's own sums, then its group's
    };
    constexpr uint32_t NONE = 0xFFFFFFFFu;
    std::vector<uint32_t> order, point_of(position_count, NONE);
    for (uint32_t p = 0; p < position_count; ++p)
        if (finite(p)) order.push_back(p);
    auto value_less = [&](uint32_t x, uint32_t y) {
        for (int a = 0; a < 3; ++a)
            if (pos[x * 3 + a] != pos[y * 3 + a]) return pos[x * 3 + a] < pos[y * 3 + a];
        return false;
    };
    std::sort(order.begin(), order.end(), value_less);
    constexpr double CELL = 0.0051; // a little above sqrt(2.5e-5)
    constexpr double CELL_LIMIT = 1e12;
    std::vector<Point> pts;
    for (size_t s = 0; s < order.size(); ++s) {
        const uint32_t p = order[s];
        if (s == 0 || value_less(order[s - 1], p)) {
            Point q{p, {}, {0.0, 0.0, 0.0}};
            for (int a = 0; a < 3; ++a) {
                const double c = std::floor(pos[p * 3 + a] / CELL);
                q.cell[a] = static_cast<int64_t>(std::fmax(-CELL_LIMIT, std::fmin(CELL_LIMIT, c)));
            }
            pts.push_back(q);
        }
        point_of[p] = static_cast<uint32_t>(pts.size() - 1);
        for (int a = 0; a < 3; ++a) pts.back().sum[a] += sum[p * 3 + a];
    }

    // Points sorted by cell: the points of cells (x, y, z - 1 .. z + 1) are one run, so each
    // occupied cell finds its 27 neighbours with 9 searches.
    std::vector<uint32_t> by_cell(pts.size());
    for (uint32_t i = 0; i < by_cell.size(); ++i) by_cell[i] = i;
    auto cell_less = [&](const int64_t *x, const int64_t *y) {
        for (int a = 0; a < 3; ++a)
            if (x[a] != y[a]) return x[a] < y[a];
        return false;
    };
    std::sort(by_cell.begin(), by_cell.end(), [&](uint32_t x, uint32_t y) {
        return cell_less(pts[x].cell, pts[y].cell) ||
               (!cell_less(pts[y].cell, pts[x].cell) && x < y);
    });
    // Hostile data can pack many distinct positions within the tolerance of one another; the
    // comparisons are capped so such a body is refused instead of taking seconds.
    const uint64_t budget = (1ull << 24) + 64ull * pts.size();
    uint64_t compared = 0;
    std::vector<double> group(3 * pts.size(), 0.0);
    constexpr float TOLERANCE_SQ = 2.5e-5f;
    for (size_t s = 0; s < by_cell.size();) {
        const int64_t *c = pts[by_cell[s]].cell;
        size_t cell_end = s;
        while (cell_end < by_cell.size() && !cell_less(c, pts[by_cell[cell_end]].cell)) ++cell_end;
        std::pair<size_t, size_t> rows[9];
        int row_count = 0;
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const int64_t lo[3] = {c[0] + dx, c[1] + dy, c[2] - 1};
                const int64_t hi[3] = {c[0] + dx, c[1] + dy, c[2] + 1};
                auto first = std::lower_bound(
                    by_cell.begin(), by_cell.end(), lo,
                    [&](uint32_t i, const int64_t *key) { return cell_less(pts[i].cell, key); });
                size_t from = first - by_cell.begin(), to = from;
                while (to < by_cell.size() && !cell_less(hi, pts[by_cell[to]].cell)) ++to;
                if (to > from) rows[row_count++] = {from, to};
            }
        for (size_t k = s; k < cell_end; ++k) {
            const uint32_t i = by_cell[k];
            const float *pi = &pos[pts[i].first * 3];
            double *g = &group[i * 3];
            for (int r = 0; r < row_count; ++r) {
                compared += rows[r].second - rows[r].first;
                for (size_t m = rows[r].first; m < rows[r].second; ++m) {
                    const Point &q = pts[by_cell[m]];
                    const float *pj = &pos[q.first * 3];
                    float d = 0.0f;
                    for (int a = 0; a < 3; ++a) {
                        const float e = pi[a] - pj[a];
                        d += e * e;
                    }
                    if (d < TOLERANCE_SQ)
                        for (int a = 0; a < 3; ++a) g[a] += q.sum[a];
                }
            }
            if (compared > budget) {
                out->clear();
                return false;
            }
        }
        s = cell_end;
    }

    out->assign(3 * (size_t)position_count, 0.0f);
    for (uint32_t p = 0; p < position_count; ++p) {
        double v[3];
        const double *from = point_of[p] != NONE ? &group[point_of[p] * 3] : &sum[p * 3];
        for (int a = 0; a < 3; ++a) v[a] = from[a];
        normalise(v);
        for (int a = 0; a < 3; ++a) (*out)[p * 3 + a] = static_cast<float>(v[a]);
    }
    return true;
}

const char *model_read(ModelReadout *r, const uint8_t *bytes, uint32_t size, const char *group,
                       uint32_t value, uint32_t suffix_flags) {
    *r = ModelReadout{};
    if (!bytes || size < HEADER_SIZE) return "the body is shorter than its header";
    Body b{bytes, size, {}};
    std::memcpy(b.w, bytes, HEADER_SIZE);
    if (b.w[W_TRIANGLES] == 0) return "the model has no triangles";

    Corners c;
    if (const char *why = read_corners(b, &c)) return why;
    if (const char *why = read_bones_and_materials(b, r, group)) return why;
    if (const char *why = check_layout(b, c)) return why;
    if (const char *why = check_values(b, c)) return why;

    // Indexed models share welded vertices; from 65,535 triangles on every corner is a vertex.
    const bool indexed = b.w[W_TRIANGLES] < MODEL_UNINDEXED_TRIANGLES;
    std::vector<uint32_t> corner_vertex, first_corner;
    if (indexed) {
        if (const char *why = weld(c, &corner_vertex, &first_corner)) return why;
    } else {
        corner_vertex.resize(c.count);
        for (uint32_t k = 0; k < c.count; ++k) corner_vertex[k] = k;
        first_corner = corner_vertex;
    }
    const uint32_t n = static_cast<uint32_t>(first_corner.size());
    MeshDescription &d = r->desc;
    d.vertex_count = n;

    // Per vertex, each present attribute from the vertex's first corner.
    auto copy = [&](uint32_t attribute, uint32_t floats, std::vector<float> *out) {
        if (!c.present[attribute]) return;
        out->resize((size_t)n * floats);
        const uint32_t base = b.w[W_ARRAYS + attribute];
        for (uint32_t v = 0; v < n; ++v)
            for (uint32_t k = 0; k < floats; ++k)
                (*out)[(size_t)v * floats + k] = b.f32(
                    base + ATTRIBUTE_SIZE[attribute] * c.at(first_corner[v], attribute) + 4 * k);
    };
    copy(0, 3, &r->positions);
    copy(1, 3, &r->normals);
    copy(2, 2, &r->texcoords);
    if (c.present[3]) {
        r->weights.resize((size_t)n * 4);
        r->bone_indices.resize((size_t)n * 4);
        for (uint32_t v = 0; v < n; ++v) {
            const uint32_t at = b.w[W_ARRAYS + 3] + 20u * c.at(first_corner[v], 3);
            std::memcpy(&r->bone_indices[v * 4], bytes + at, 4);
            for (int k = 0; k < 4; ++k) r->weights[v * 4 + k] = b.f32(at + 4 + 4 * k);
        }
        d.weights = r->weights.data();
        d.bone_indices = r->bone_indices.data();
        d.weight_count = 4;
    }
    if (c.present[4]) {
        r->colors.resize(n);
        for (uint32_t v = 0; v < n; ++v)
            r->colors[v] = b.u32(b.w[W_ARRAYS + 4] + 4u * c.at(first_corner[v], 4));
        d.colors = r->colors.data();
    }
    d.positions = r->positions.data();
    d.normals = c.present[1] ? r->normals.data() : nullptr;

    if (c.present[2]) d.tex_sets[d.tex_set_count++] = {r->texcoords.data(), 2};
    if (value & 1u) {
        // Smoothed normals go into the second set; without texture coordinates the first set
        // is zeros.
        if (!c.present[2]) {
            r->texcoords.assign((size_t)n * 2, 0.0f);
            d.tex_sets[d.tex_set_count++] = {r->texcoords.data(), 2};
        }
        // Sums per position index, over every position up to the highest one named.
        uint32_t position_count = 0;
        std::vector<uint32_t> corner_pos(c.count);
        for (uint32_t k = 0; k < c.count; ++k) {
            corner_pos[k] = c.at(k, 0);
            position_count = std::max(position_count, corner_pos[k] + 1);
        }
        std::vector<float> source(3 * (size_t)position_count), corner_normals;
        for (uint32_t k = 0; k < 3 * position_count; ++k) source[k] = b.f32(b.w[W_ARRAYS] + 4 * k);
        if (c.present[1]) {
            corner_normals.resize(3 * (size_t)c.count);
            for (uint32_t k = 0; k < c.count; ++k)
                for (int a = 0; a < 3; ++a)
                    corner_normals[k * 3 + a] = b.f32(b.w[W_ARRAYS + 1] + 12u * c.at(k, 1) + 4 * a);
        }
        std::vector<float> acc;
        if (!model_smooth_normals(source.data(), position_count, corner_pos.data(),
                                  c.present[1] ? corner_normals.data() : nullptr, c.count, &acc))
            return "the positions crowd too closely to smooth their normals";
        r->smoothed.resize(3 * (size_t)n);
        for (uint32_t v = 0; v < n; ++v)
            for (int a = 0; a < 3; ++a)
                r->smoothed[v * 3 + a] = acc[c.at(first_corner[v], 0) * 3 + a];
        d.tex_sets[d.tex_set_count++] = {r->smoothed.data(), 3};
    }
    if ((suffix_flags & 1u) && c.present[2] && c.present[1]) {
        make_tangents(r, corner_vertex);
        d.tangents = r->tangents.data();
    }

    if (indexed) {
        r->indices.resize(c.count);
        for (uint32_t k = 0; k < c.count; ++k)
            r->indices[k] = static_cast<uint16_t>(corner_vertex[k]);
        d.indices = r->indices.data();
        d.index_count = c.count;
    }
    d.bones = r->bones.empty() ? nullptr : r->bones.data();
    d.bone_count = static_cast<uint32_t>(r->bones.size());
    d.subsets = r->subsets.empty() ? nullptr : r->subsets.data();
    d.subset_count = static_cast<uint32_t>(r->subsets.size());
    d.materials = r->materials.empty() ? nullptr : r->materials.data();
    d.material_count = static_cast<uint32_t>(r->materials.size());

    // The file's box is x lo, x hi, y lo, y hi, z lo, z hi; the description's is min then max.
    for (int a = 0; a < 3; ++a) {
        const float lo = b.word_f32(W_BOX + 2 * a), hi = b.word_f32(W_BOX + 2 * a + 1);
        d.box[a] = std::fmin(lo, hi);
        d.box[3 + a] = std::fmax(lo, hi);
    }
    for (int k = 0; k < 4; ++k) d.extra_bounds[k] = b.word_f32(W_SPHERE + k);
    const float radius = b.word_f32(W_RADIUS);
    d.extra_bounds[4] = radius;
    d.extra_bounds[5] = radius * radius;
    return nullptr;
}
