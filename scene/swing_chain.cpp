// Swinging chains: the pool of 64, enabling them below a frame, the step and the aim.
#include "scene/swing_chain.h"

#include <cmath>
#include <cstring>

#include "collision/coll_list.h"
#include "collision/collider.h"
#include "math/mat4.h"
#include "math/vec.h"
#include "resource/names.h"
#include "resource/res_frames.h"
#include "scene/model_instance.h"
#include "scene/model_internal.h"

namespace {

struct ChainPool {
    SwingChain chains[MODEL_CHAIN_CAPACITY];
    SwingChain *active_head;
    SwingChain *free_head;
    int32_t used;
};

ChainPool g_chains;

constexpr float GRAVITY = 0.01f;
constexpr float DAMPING = 0.97f;
constexpr float STIFFNESS = 0.75f;
constexpr int RELAX_ROUNDS = 10;

Vec3 world_position(const InstanceBone *b) {
    return Vec3{b->world.m[3][0], b->world.m[3][1], b->world.m[3][2]};
}

void set_row(Mat4 *m, int i, const Vec3 &v) {
    m->m[i][0] = v.x;
    m->m[i][1] = v.y;
    m->m[i][2] = v.z;
    m->m[i][3] = 0.0f;
}

bool finite3(const Vec3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The bone turned (and, with move, carried) towards the point. Its pose is the world matrix
// taken back through the node's inverse; a pose that would leave the value limit (a point
// carried beyond any scene's reach) leaves the bone as it was.
void aim_bone(InstanceBone *b, const Vec3 *origin, const Vec3 *point, int32_t move,
              const Mat4 *inverse_world) {
    Mat4 world, pose;
    swing_chain_aim(&world, &b->world, origin, point, move);
    mat4_multiply(&pose, inverse_world, &world);
    if (!model_matrix_ok(pose)) return;
    b->world = world;
    b->pose = pose;
}

} // namespace

SwingChain *swing_chain_alloc(void) {
    SwingChain *c = coll_list_take(&g_chains.free_head, &g_chains.active_head);
    if (c) g_chains.used += 1;
    return c;
}

void swing_chain_free(SwingChain *c) {
    if (!c) return;
    coll_list_give_back(c, &g_chains.free_head, &g_chains.active_head);
    g_chains.used -= 1;
}

void swing_chain_pool_reset(void) {
    g_chains.active_head = nullptr;
    g_chains.used = 0;
    g_chains.free_head = coll_list_link_free(g_chains.chains, MODEL_CHAIN_CAPACITY);
}

int32_t model_chains_used(void) {
    return g_chains.used;
}

Mat4 *swing_chain_aim(Mat4 *out, const Mat4 *source, const Vec3 *origin, const Vec3 *target,
                      int32_t move) {
    const Vec3 d = {target->x - origin->x, target->y - origin->y, target->z - origin->z};
    Mat4 r = *source;
    if (vec3_length(&d) > 0.0f) {
        const Vec3 x = model_unit_or_zero(d);
        // Row 2 from (0, x.x, x.y); when row 0 lies along z that is zero and the helper
        // becomes the x axis instead.
        Vec3 z = model_unit_or_zero(Vec3{0.0f, x.x, x.y});
        if (vec3_length(&z) == 0.0f) z = Vec3{1.0f, 0.0f, 0.0f};
        Vec3 y;
        vec3_cross(&y, &x, &z);
        vec3_cross(&z, &y, &x);
        y = model_unit_or_zero(y);
        z = model_unit_or_zero(z);
        set_row(&r, 0, x);
        set_row(&r, 1, Vec3{-y.x, -y.y, -y.z});
        set_row(&r, 2, z);
    }
    const Vec3 t = move ? *target : Vec3{source->m[3][0], source->m[3][1], source->m[3][2]};
    r.m[3][0] = t.x;
    r.m[3][1] = t.y;
    r.m[3][2] = t.z;
    r.m[3][3] = 1.0f;
    *out = r;
    return out;
}

void swing_chain_simulate(ModelInstance *in, const Mat4 *world, const Mat4 *inverse_world,
                          uint16_t group) {
    (void)world;
    if (!in || !inverse_world) return;
    for (InstanceBone *b = in->bones; b; b = b->next) {
        SwingChain *c = b->chain;
        if (!c) continue;
        c->position.x += c->velocity.x;
        c->position.y += c->velocity.y - GRAVITY;
        c->position.z += c->velocity.z;
        c->world_copy = b->world;
        c->pose_copy = b->pose;
    }
    for (int round = 0; round < RELAX_ROUNDS; ++round) {
        for (InstanceBone *b = in->bones; b; b = b->next) {
            SwingChain *c = b->chain;
            if (!c || !b->parent) continue;
            Vec3 plain = world_position(b->parent);
            Vec3 *parent = b->parent->chain ? &b->parent->chain->position : &plain;
            const Vec3 d = {c->position.x - parent->x, c->position.y - parent->y,
                            c->position.z - parent->z};
            const Vec3 n = model_unit_or_zero(d);
            const float k = (c->rest_length - vec3_length(&d)) * STIFFNESS;
            vec3_add_scaled(parent, parent, &n, -k);
            vec3_add_scaled(&c->position, &c->position, &n, k);
        }
    }
    for (InstanceBone *b = in->bones; b; b = b->next) {
        SwingChain *c = b->chain;
        if (!c) continue;
        c->velocity = Vec3{(c->position.x - c->previous_position.x) * DAMPING,
                           (c->position.y - c->previous_position.y) * DAMPING,
                           (c->position.z - c->previous_position.z) * DAMPING};
        const Vec3 from = {c->position.x, c->position.y + 1.0f, c->position.z};
        float height = 0.0f;
        if (!coll_ground_height(&from, &height, nullptr, nullptr, group, COLL_FILTER_ANY))
            height = 0.0f;
        const float floor = height + c->rest_length * 0.2f;
        if (c->position.y < floor) {
            c->velocity.y *= -0.25f;
            c->position.y = floor;
        }
        // Distances of points beyond the float range's square root overflow, and the step
        // would carry NaN from then on: such a point starts again at rest at its bone.
        if (!finite3(c->position) || !finite3(c->velocity)) {
            c->position = world_position(b);
            c->velocity = Vec3{0, 0, 0};
        }
        c->previous_position = c->position;
        if (!b->parent) continue;
        InstanceBone *p = b->parent;
        const Vec3 from_parent = world_position(p);
        aim_bone(p, &from_parent, &c->position, 0, inverse_world);
        aim_bone(b, &from_parent, &c->position, 1, inverse_world);
    }
}

bool model_enable_chains(ModelInstance *in, const char *name, int32_t on) {
    if (!in || !in->hierarchy || !model_bone_at(in, 0)) return false;
    // Rest lengths come from posed world matrices: a never-posed instance has none yet.
    if (on && !(in->state & MODEL_POSE_VALID)) return false;
    in->state = on ? in->state | MODEL_CHAINS : in->state & ~MODEL_CHAINS;
    const int32_t base_index = name ? model_bone_index(in, name) : 0;
    if (base_index < 0) return true;
    FrameWalk w;
    FrameItem it;
    if (!res_frames_begin(&w, in->hierarchy)) return false;
    InstanceBone *b = in->bones;
    int32_t index = -1, base_depth = -1;
    while (b && res_frames_next(&w, &it)) {
        if (it.tag != RES_FRAME_NAME) continue;
        ++index;
        InstanceBone *bone = b;
        b = b->next;
        if (index == base_index) {
            base_depth = it.depth;
            continue;
        }
        if (base_depth < 0) continue;
        if (it.depth <= base_depth) break; // the named frame's subtree is over
        if (on) {
            if (!bone->chain) bone->chain = swing_chain_alloc();
            if (!bone->chain) continue; // pool empty: this bone keeps its animated pose
            SwingChain *c = bone->chain;
            c->position = c->previous_position = world_position(bone);
            c->velocity = Vec3{0, 0, 0};
            c->rest_length = 0.0f;
            if (bone->parent) {
                const Vec3 pp = world_position(bone->parent);
                c->rest_length = std::sqrt(vec3_distance_sq(&c->position, &pp));
            }
            bone->flags |= BONE_CHAIN_ON;
        } else {
            swing_chain_free(bone->chain);
            bone->chain = nullptr;
            bone->flags &= ~BONE_CHAIN_ON;
        }
    }
    return true;
}
