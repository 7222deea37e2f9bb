#include "math/path.h"

#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "math/vec.h"

namespace {

constexpr uint32_t kHeaderBytes = 12;
constexpr uint32_t kNodeBytes = 28;

// Rows (2, -2, 1, 1), (-3, 3, -2, -1), (0, 0, 1, 0), (1, 0, 0, 0).
const Mat4 kHermiteBasis = {{{2.0f, -2.0f, 1.0f, 1.0f},
                             {-3.0f, 3.0f, -2.0f, -1.0f},
                             {0.0f, 0.0f, 1.0f, 0.0f},
                             {1.0f, 0.0f, 0.0f, 0.0f}}};

// The number of nodes that may be read: the stored count, never past the capacity or the
// buffer, whatever the header holds.
int node_count(const PathCurve *path) {
    int n = path->count;
    int cap = path->capacity;
    int fit = path_capacity_for_bytes(path->byte_size);
    if (cap > fit) cap = fit;
    if (n > cap) n = cap;
    return n < 0 ? 0 : n;
}

// (b - a) * 3 / len: the chord's rate over a segment; a zero-length segment has none.
Vec3 chord_rate(const Vec3 &a, const Vec3 &b, float len) {
    if (len == 0.0f) return Vec3{0.0f, 0.0f, 0.0f};
    return Vec3{(b.x - a.x) * 3.0f / len, (b.y - a.y) * 3.0f / len, (b.z - a.z) * 3.0f / len};
}

} // namespace

int path_capacity_for_bytes(uint32_t byte_size) {
    if (byte_size < kHeaderBytes) return 0;
    uint32_t cap = (byte_size - kHeaderBytes) / kNodeBytes;
    return cap > 32767 ? 32767 : (int)cap;
}

int path_init(void *buffer, uint32_t byte_size) {
    if (!buffer || byte_size < kHeaderBytes) return 0;
    std::memset(buffer, 0, byte_size);
    PathCurve *path = (PathCurve *)buffer;
    path->byte_size = byte_size;
    path->count = 0;
    path->capacity = (int16_t)path_capacity_for_bytes(byte_size);
    path->total_length = 0.0f;
    return path->capacity;
}

PathNode *path_nodes(PathCurve *path) {
    return (PathNode *)((unsigned char *)path + kHeaderBytes);
}

const PathNode *path_nodes(const PathCurve *path) {
    return (const PathNode *)((const unsigned char *)path + kHeaderBytes);
}

float path_total_length(const PathCurve *path) {
    return path->total_length;
}

PathCurve *path_add_point_with_length(PathCurve *path, const Vec3 *point, float length) {
    int n = node_count(path);
    int cap = path_capacity_for_bytes(path->byte_size);
    if (path->capacity < cap) cap = path->capacity;
    if (cap <= 0 || n >= cap) return nullptr;
    PathNode *nodes = path_nodes(path);
    if (n > 0) {
        nodes[n - 1].seg_length = length;
        path->total_length += length;
    } else {
        path->total_length = 0.0f;
    }
    nodes[n].position = *point;
    path->count = (int16_t)(n + 1);
    return path;
}

PathCurve *path_add_point(PathCurve *path, const Vec3 *point) {
    int n = node_count(path);
    float length = 0.0f;
    if (n > 0) {
        Vec3 d;
        vec3_sub(&d, &path_nodes(path)[n - 1].position, point);
        length = vec3_length(&d);
    }
    return path_add_point_with_length(path, point, length);
}

Vec3 *path_start_tangent(Vec3 *out, const PathNode *nodes, int i) {
    Vec3 c = chord_rate(nodes[i].position, nodes[i + 1].position, nodes[i].seg_length);
    const Vec3 &t = nodes[i + 1].tangent;
    return vec3_set(out, (c.x - t.x) * 0.5f, (c.y - t.y) * 0.5f, (c.z - t.z) * 0.5f);
}

Vec3 *path_end_tangent(Vec3 *out, const PathNode *nodes, int i) {
    Vec3 c = chord_rate(nodes[i - 1].position, nodes[i].position, nodes[i - 1].seg_length);
    const Vec3 &t = nodes[i - 1].tangent;
    return vec3_set(out, (c.x - t.x) * 0.5f, (c.y - t.y) * 0.5f, (c.z - t.z) * 0.5f);
}

PathCurve *path_compute_tangents(PathCurve *path) {
    int n = node_count(path);
    if (n < 2) return path;
    PathNode *nodes = path_nodes(path);
    for (int i = 1; i <= n - 2; ++i) {
        Vec3 ahead, back, t;
        vec3_sub(&ahead, &nodes[i + 1].position, &nodes[i].position);
        vec3_sub(&back, &nodes[i - 1].position, &nodes[i].position);
        vec3_normalize(&ahead, &ahead);
        vec3_normalize(&back, &back);
        vec3_normalize(&nodes[i].tangent, vec3_sub(&t, &ahead, &back));
    }
    path_start_tangent(&nodes[0].tangent, nodes, 0);
    path_end_tangent(&nodes[n - 1].tangent, nodes, n - 1);
    return path;
}

PathCurve *path_smooth(PathCurve *path) {
    int n = node_count(path);
    if (n < 2) return path;
    PathNode *nodes = path_nodes(path);
    // Every new tangent comes from the tangents as they stood before the pass, so each is
    // written one step behind the one being computed.
    Vec3 pending;
    path_start_tangent(&pending, nodes, 0);
    for (int i = 1; i < n; ++i) {
        Vec3 next;
        path_end_tangent(&next, nodes, i);
        nodes[i - 1].tangent = pending;
        pending = next;
    }
    nodes[n - 1].tangent = pending;
    return path;
}

PathCurve *path_balance_tangents(PathCurve *path) {
    int n = node_count(path);
    PathNode *nodes = path_nodes(path);
    for (int i = 1; i <= n - 2; ++i) {
        Vec3 back, ahead;
        vec3_sub(&back, &nodes[i].position, &nodes[i - 1].position);
        vec3_sub(&ahead, &nodes[i + 1].position, &nodes[i].position);
        float a = vec3_length(&back) / nodes[i - 1].seg_length;
        float b = vec3_length(&ahead) / nodes[i].seg_length;
        float f = 4.0f * a * b / ((a + b) * (a + b));
        if (std::isfinite(f)) // a zero-length segment leaves the tangent as it is
            vec3_scale(&nodes[i].tangent, &nodes[i].tangent, f);
    }
    return path;
}

PathCurve *path_halve_tangents(PathCurve *path) {
    int n = node_count(path);
    PathNode *nodes = path_nodes(path);
    for (int i = 0; i < n; ++i) vec3_scale(&nodes[i].tangent, &nodes[i].tangent, 0.5f);
    return path;
}

Vec3 *path_hermite(Vec3 *out, const Vec3 *p0, const Vec3 *t0, const Vec3 *p1, const Vec3 *t1,
                   float s) {
    Mat4 g = {{{p0->x, p0->y, p0->z, 0.0f},
               {p1->x, p1->y, p1->z, 0.0f},
               {t0->x, t0->y, t0->z, 0.0f},
               {t1->x, t1->y, t1->z, 0.0f}}};
    Mat4 r;
    mat4_multiply(&r, &g, &kHermiteBasis); // H x G
    float s2 = s * s, s3 = s2 * s;
    float v[3];
    for (int j = 0; j < 3; ++j) v[j] = s3 * r.m[0][j] + s2 * r.m[1][j] + s * r.m[2][j] + r.m[3][j];
    return vec3_set(out, v[0], v[1], v[2]);
}

Vec3 *path_evaluate(Vec3 *out, const PathCurve *path, float distance) {
    int n = node_count(path);
    const PathNode *nodes = path_nodes(path);
    if (n == 0) return vec3_set(out, 0.0f, 0.0f, 0.0f);
    if (n == 1) return vec3_copy(out, &nodes[0].position);
    float acc = 0.0f;
    int i = 0;
    while (i < n - 2 && !(distance <= acc + nodes[i].seg_length)) {
        acc += nodes[i].seg_length;
        ++i;
    }
    float len = nodes[i].seg_length;
    float s = len == 0.0f ? 0.0f : (distance - acc) / len;
    Vec3 t0, t1;
    vec3_scale(&t0, &nodes[i].tangent, len);
    vec3_scale(&t1, &nodes[i + 1].tangent, len);
    return path_hermite(out, &nodes[i].position, &t0, &nodes[i + 1].position, &t1, s);
}

Vec3 *path_evaluate_fraction(Vec3 *out, const PathCurve *path, float fraction) {
    return path_evaluate(out, path, fraction * path->total_length);
}

PathCurve *path_build_smooth(PathCurve *path) {
    path_compute_tangents(path);
    for (int k = 0; k < 3; ++k) path_smooth(path);
    return path;
}

PathCurve *path_build_balanced(PathCurve *path) {
    path_compute_tangents(path);
    path_smooth(path);
    return path_balance_tangents(path);
}

PathCurve *path_build_balanced3(PathCurve *path) {
    path_compute_tangents(path);
    for (int k = 0; k < 3; ++k) {
        path_smooth(path);
        path_balance_tangents(path);
    }
    return path;
}

PathCurve *path_smooth_balanced(PathCurve *path) {
    path_smooth(path);
    return path_balance_tangents(path);
}

PathCurve *path_halve_balanced(PathCurve *path) {
    path_halve_tangents(path);
    return path_balance_tangents(path);
}
