// Target modes of the pose: reach (three-bone and iterative solvers), look, local and world
// matrices. Everything works on model-space poses.
#include <cmath>

#include "math/mat4.h"
#include "math/transform.h"
#include "math/vec.h"
#include "scene/model_internal.h"

namespace {

constexpr int MAX_CHAIN = 255;
// Bones shorter than this cannot bend a chain: the solver leaves it as it is.
constexpr float MIN_BONE_LENGTH = 1e-5f;

Vec3 position_of(const Mat4 *m) {
    return Vec3{m->m[3][0], m->m[3][1], m->m[3][2]};
}

// The child's matrix relative to its parent: the child's pose, then the inverse of the
// parent's. False when the parent's pose is singular.
bool relative(Mat4 *out, const Mat4 *parent, const Mat4 *child) {
    Mat4 inv;
    if (!mat4_inverse_checked(&inv, parent)) return false;
    mat4_multiply(out, &inv, child);
    return true;
}

float clamp_unit(float v) {
    return v < -1.0f ? -1.0f : v > 1.0f ? 1.0f : v;
}

void solve_three(InstanceBone *top, InstanceBone *mid, InstanceBone *end, const Vec3 *aim) {
    Mat4 inv_top, m, n;
    if (!mat4_inverse_checked(&inv_top, &top->pose) || !relative(&m, &top->pose, &mid->pose) ||
        !relative(&n, &mid->pose, &end->pose))
        return;
    Vec3 a;
    mat4_transform_point(&a, &inv_top, aim);
    const Vec3 mt = position_of(&m), nt = position_of(&n);
    const float lu = vec3_length(&mt), ll = vec3_length(&nt);
    float d = vec3_length(&a);
    if (d <= 1e-5f || lu < MIN_BONE_LENGTH || ll < MIN_BONE_LENGTH) return;
    const Vec3 u = {a.x / d, a.y / d, a.z / d};
    if (d >= lu + ll) {
        d = 0.999f * (lu + ll);
        a = Vec3{u.x * d, u.y * d, u.z * d};
    }
    // A target nearer than |upper - lower| folds the knee fully: the cosines stay in range.
    const float k = std::acos(clamp_unit((d * d - lu * lu - ll * ll) / (2.0f * lu * ll)));
    const EulerAngles knee = {0.0f, k, 0.0f};
    mat4_rotation_euler(&m, &knee);

    const float c = clamp_unit((d * d + lu * lu - ll * ll) / (2.0f * d * lu));
    const Vec3 f = {u.x * c * lu, u.y * c * lu, u.z * c * lu};
    const float h = std::sqrt(1.0f - c * c) * lu;
    const Vec3 w = model_unit_or_zero(Vec3{-u.y * u.x, 1.0f - u.y * u.y, -u.y * u.z});
    Vec3 v;
    vec3_cross(&v, &u, &w);
    Vec3 s = {mt.x - f.x, mt.y - f.y, mt.z - f.z};
    const float along = vec3_dot(&s, &u);
    s = Vec3{s.x - u.x * along, s.y - u.y * along, s.z - u.z * along};
    Vec3 sw;
    vec3_cross(&sw, &s, &w);
    float phi = std::atan2(vec3_length(&sw), vec3_dot(&s, &w));
    Vec3 mid_at;
    for (int pass = 0; pass < 2; ++pass) {
        const float cp = std::cos(phi) * h, sp = std::sin(phi) * h;
        mid_at =
            Vec3{f.x + w.x * cp + v.x * sp, f.y + w.y * cp + v.y * sp, f.z + w.z * cp + v.z * sp};
        Vec3 moved = {mid_at.x - mt.x, mid_at.y - mt.y, mid_at.z - mt.z};
        if (pass == 1 || vec3_length(&moved) <= 1.0f) break;
        phi = -phi;
    }
    const Vec3 x = model_unit_or_zero(mid_at);
    const float ax = vec3_dot(&a, &x);
    const Vec3 z = model_unit_or_zero(Vec3{x.x * ax - a.x, x.y * ax - a.y, x.z * ax - a.z});
    Vec3 y;
    vec3_cross(&y, &z, &x);
    Mat4 r;
    mat4_identity(&r);
    const Vec3 rows[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) {
        r.m[i][0] = rows[i].x;
        r.m[i][1] = rows[i].y;
        r.m[i][2] = rows[i].z;
    }
    mat4_multiply(&top->pose, &top->pose, &r);
    mat4_multiply(&mid->pose, &top->pose, &m);
    mat4_multiply(&end->pose, &mid->pose, &n);
}

// Product of entries 0..j: entry j applied first, entry 0 last.
void chain_product(Mat4 *out, const Mat4 *entries, int j) {
    *out = entries[j];
    for (int i = j - 1; i >= 0; --i) mat4_multiply(out, &entries[i], out);
}

void solve_iterative(InstanceBone **chain, int count, const Vec3 *aim) {
    Mat4 entries[MAX_CHAIN];
    entries[0] = chain[0]->pose;
    for (int i = 1; i < count; ++i)
        if (!relative(&entries[i], &chain[i - 1]->pose, &chain[i]->pose)) return;
    for (int sweep = 0; sweep < 4; ++sweep) {
        Vec3 last_end = {0, 0, 0};
        for (int j = count - 2; j >= 0; --j) {
            Mat4 jm, inv, e;
            chain_product(&jm, entries, j);
            chain_product(&e, entries, count - 1);
            last_end = position_of(&e);
            if (!mat4_inverse_checked(&inv, &jm)) continue;
            Vec3 a, b;
            mat4_transform_point(&a, &inv, aim);
            mat4_transform_point(&b, &inv, &last_end);
            if (vec3_length_sq_floor(&a) < 1e-6f || vec3_length_sq_floor(&b) < 1e-6f) continue;
            Quat q;
            quat_from_two_vectors(&q, &b, &a);
            Mat4 r;
            quat_position_to_mat4(&r, &q, nullptr);
            mat4_multiply(&entries[j], &entries[j], &r);
        }
        if (vec3_distance_sq(aim, &last_end) < 0.0004f) break;
    }
    for (int i = 0; i < count; ++i) chain_product(&chain[i]->pose, entries, i);
}

void reach(InstanceBone *b, const Vec3 *target, const Mat4 *inverse_world) {
    if (!b->parent || !b->parent->parent || !(b->weight > 0.0f)) return;
    const int want = static_cast<int>(b->flags & BONE_CHAIN_LENGTH_MASK);
    InstanceBone *up[MAX_CHAIN];
    int count = 0;
    for (InstanceBone *k = b; k && count < want && count < MAX_CHAIN; k = k->parent)
        up[count++] = k;
    InstanceBone *chain[MAX_CHAIN];
    for (int i = 0; i < count; ++i) chain[i] = up[count - 1 - i]; // top first
    Vec3 local, pos = position_of(&b->pose), aim;
    mat4_transform_point(&local, inverse_world, target);
    aim = Vec3{pos.x + (local.x - pos.x) * b->weight, pos.y + (local.y - pos.y) * b->weight,
               pos.z + (local.z - pos.z) * b->weight};
    // The solvers work from poses within the value limit, but a target far out (or a chain
    // squeezed to a near-singular pose) can still carry a solved pose past it: the chain then
    // keeps the poses it had.
    Mat4 kept[MAX_CHAIN];
    for (int i = 0; i < count; ++i) kept[i] = chain[i]->pose;
    if (count == 3)
        solve_three(chain[0], chain[1], chain[2], &aim);
    else
        solve_iterative(chain, count, &aim);
    for (int i = 0; i < count; ++i)
        if (!model_matrix_ok(chain[i]->pose)) {
            for (int k = 0; k < count; ++k) chain[k]->pose = kept[k];
            return;
        }
}

void look(InstanceBone *b, const Mat4 *inverse_world) {
    const Vec3 point = position_of(&b->target);
    Vec3 target, up, pos = position_of(&b->pose);
    mat4_transform_point(&target, inverse_world, &point);
    Vec3 to = {pos.x - target.x, pos.y - target.y, pos.z - target.z};
    // The bone's own position gives no direction to look in.
    if (vec3_length(&to) == 0.0f) return;
    if (b->flags & BONE_LOOK_NO_UP) {
        const Vec3 row0 = {b->pose.m[0][0], b->pose.m[0][1], b->pose.m[0][2]};
        vec3_cross(&up, &row0, &to);
    } else {
        const Vec3 given = {b->target.m[1][0], b->target.m[1][1], b->target.m[1][2]};
        mat4_rotate_vector(&up, inverse_world, &given);
    }
    if (vec3_length(&up) == 0.0f) return;
    Mat4 facing;
    mat4_look_at_point(&facing, &pos, &target, &up, 0);
    mat4_interpolate(&b->pose, &b->pose, &facing, b->weight);
}

} // namespace

void model_apply_target(InstanceBone *b, Mat4 *top, const Mat4 *inverse_world) {
    const uint32_t mode = model_bone_mode(b);
    if (mode == 0) return;
    // A target whose result leaves the value limit (a huge local matrix, a target point far
    // out) is dropped for this update: the bone and its children keep the animated pose.
    const Mat4 pose = b->pose, placed = *top;
    Mat4 result;
    switch (mode) {
        case 1:
            if (inverse_world) {
                const Vec3 point = position_of(&b->target);
                reach(b, &point, inverse_world);
                *top = b->pose;
            }
            break;
        case 2:
            if (inverse_world) {
                look(b, inverse_world);
                *top = b->pose;
            }
            break;
        case 3:
            mat4_multiply(&result, &b->pose, &b->target);
            if (b->weight != 1.0f) mat4_interpolate(&result, &b->pose, &result, b->weight);
            b->pose = result;
            *top = result;
            break;
        case 4:
            // Children keep following the animated pose: the top stays.
            if (inverse_world) {
                mat4_multiply(&result, inverse_world, &b->target);
                if (b->weight != 1.0f) mat4_interpolate(&result, &b->pose, &result, b->weight);
                b->pose = result;
            }
            break;
        default:
            break;
    }
    if (!model_matrix_ok(b->pose) || !model_matrix_ok(*top)) {
        b->pose = pose;
        *top = placed;
    }
    b->flags &= ~(7u << BONE_MODE_SHIFT);
}
