// The per-update pose of a model instance: frame stepping, key sampling, mirroring, root modes,
// cross-fades, targets, chains and the palette.
#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "render/gfx_mesh.h"
#include "resource/res_frames.h"
#include "resource/res_motion.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/model_internal.h"
#include "scene/swing_chain.h"

namespace {

constexpr int64_t ONE = MODEL_FRAME_ONE;

int64_t clamp64(int64_t v, int64_t lo, int64_t hi) {
    if (v > hi) v = hi;
    return v < lo ? lo : v;
}

// The new current frame. Sums are 64-bit and a wrap is one modulo, whatever the speed.
void step_frame(ModelInstance *in, int32_t frame) {
    const int64_t length = in->length;
    if (length == 0) {
        in->current_frame = 0;
        return;
    }
    const int64_t speed = in->speed, start = in->start_frame, last = length - ONE;
    int64_t cur = in->current_frame;
    if (frame >= 0)
        cur = static_cast<int64_t>(frame) << 16;
    else if (in->state & MODEL_REVERSE)
        cur = cur > speed ? cur - speed : 0;
    else
        cur += speed;
    if (in->state & MODEL_LOOP) {
        int64_t loop_start = start;
        if (in->loop_start_frame > in->start_frame && cur >= in->loop_start_frame)
            loop_start = in->loop_start_frame;
        const bool reverse = in->state & MODEL_REVERSE;
        if (in->loop_limit != MODEL_ENDLESS && in->loop_count >= in->loop_limit) {
            cur = clamp64(cur, loop_start, last);
        } else if (reverse ? cur < loop_start : cur >= length) {
            // Forward, a loop is counted only when the frame wraps: a frame inside the last
            // key's span would otherwise count a loop and stay where it is.
            in->loop_count += 1;
            if (loop_start <= last - 1) {
                // Wraps into loop start .. length - 1 unit: the period is length - loop start.
                const int64_t period = length - loop_start;
                int64_t off = (cur - loop_start) % period;
                if (off < 0) off += period;
                cur = loop_start + off;
            } else {
                cur = loop_start;
            }
        }
    } else {
        cur = clamp64(cur, start, last);
    }
    in->current_frame = static_cast<uint32_t>(clamp64(cur, 0, length - 1));
}

// Mirrors a sample across the x = 0 plane of its parent: the top frame negates its position's
// z and its rotation's x and y, every other frame its position's y and rotation's x and z.
// That is the key conjugated by the reflection of the mirrored axis (z for the top frame, y for
// the others): the elements with exactly one index on that axis change sign. Done on the matrix
// it is exact and keeps a scaled key's scale, which a split into position, scale and a rotation
// taken from the scaled rows would distort; the last column is (0, 0, 0, 1) as a rebuilt
// transform's.
void mirror_sample(Mat4 *m, bool top) {
    const int axis = top ? 2 : 1;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j)
            if ((i == axis) != (j == axis)) m->m[i][j] = -m->m[i][j];
    m->m[0][3] = m->m[1][3] = m->m[2][3] = 0.0f;
    m->m[3][3] = 1.0f;
}

void apply_root_mode(Mat4 *m, uint32_t mode) {
    switch (mode) {
        case 1:
            m->m[3][0] = m->m[3][2] = 0.0f;
            break;
        case 2:
            m->m[3][0] = m->m[3][1] = m->m[3][2] = 0.0f;
            break;
        case 3:
            mat4_reset_rotation(m);
            break;
        default:
            break;
    }
}

// The palette model's bones: each instance bone named like a palette entry takes its index
// and the entry's offset applied before the pose.
void fill_palette(ModelInstance *in, const MeshBuffers *mesh) {
    in->palette_model = mesh;
    if (!mesh || !mesh->bones) return;
    const uint32_t count = (mesh->counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFFu;
    for (uint32_t i = 0; i < count && i < 255; ++i) {
        const MeshBone *entry = &mesh->bones[i];
        for (InstanceBone *b = in->bones; b; b = b->next) {
            if (b->name && entry->name && b->name_hash == entry->hash &&
                !std::strcmp(b->name, entry->name)) {
                b->palette_index = static_cast<uint8_t>(i);
                mat4_multiply(&b->palette, &b->pose, &entry->offset);
                break;
            }
        }
    }
}

InstanceBone *root_bone(ModelInstance *in) {
    const int32_t root = model_root_index(in);
    return root < 255 ? model_bone_at(in, root) : nullptr;
}

} // namespace

void model_bone_place(InstanceBone *b, const Mat4 *world) {
    if (world) {
        mat4_multiply(&b->world, world, &b->pose);
        for (int i = 0; i < 16; ++i)
            if (!std::isfinite(b->world.m[i / 4][i % 4])) {
                b->world = *world;
                break;
            }
    } else {
        b->world = b->pose;
    }
    b->flags |= BONE_WORLD_CURRENT;
}

bool model_sample_track(const ModelInstance *in, const InstanceBone *bone, Mat4 *out) {
    const uint8_t track = (in->state & MODEL_MIRRORED) ? bone->mirrored_track : bone->track;
    if (!in->motion || track == MODEL_NO_TRACK) return false;
    const uint32_t keys = res_motion_track_key_count(in->motion, track);
    if (keys == 0) return false;
    // Keys are read up to the track's own key count, never past it.
    uint32_t f0 = in->current_frame >> 16, f1 = f0 + 1;
    if (f0 > keys - 1) f0 = keys - 1;
    if (f1 > keys - 1) f1 = keys - 1;
    const uint32_t fraction = in->current_frame & 0xFFFFu;
    if (!res_motion_key(in->motion, track, f0, out)) return false;
    if (fraction) {
        Mat4 k1;
        if (!res_motion_key(in->motion, track, f1, &k1)) return false;
        mat4_interpolate(out, out, &k1, static_cast<float>(fraction) / 65536.0f);
    }
    if (in->state & MODEL_MIRRORED) mirror_sample(out, bone->parent == nullptr);
    return true;
}

void model_root_matrix(const ModelInstance *cin, Mat4 *out) {
    ModelInstance *in = const_cast<ModelInstance *>(cin);
    InstanceBone *root = in && out ? root_bone(in) : nullptr;
    if (!root) return;
    Mat4 sample;
    if (!model_sample_track(in, root, &sample)) mat4_identity(&sample);
    if (in->has_root_item)
        mat4_multiply(out, &in->root_item, &sample);
    else
        *out = sample;
}

void model_instance_pose(ModelInstance *in, const Mat4 *world, int32_t frame,
                         const MeshBuffers *palette_model, uint16_t chain_group, int32_t snap) {
    if (!in || !model_bones_current(in) || !in->bones) return;
    Mat4 identity;
    mat4_identity(&identity);
    if (!world) world = &identity;
    const uint32_t requests = (in->state >> MODEL_REQUEST_SHIFT) & 0x1Fu;
    const bool chains = in->state & MODEL_CHAINS;
    // Modes 1, 2 and 4 and the chains work in model space; a singular world matrix skips them.
    Mat4 inverse_store;
    const Mat4 *inverse = nullptr;
    if ((requests & 0xBu) || chains) inverse = mat4_inverse_checked(&inverse_store, world);

    const bool blending = !snap && in->blend_left > 0;
    float w = 0.0f;
    if (blending && in->blend_length > 0) {
        float t = static_cast<float>(in->blend_length - in->blend_left) /
                  static_cast<float>(in->blend_length);
        t = t < 0.0f ? 0.0f : t > 1.0f ? 1.0f : t;
        w = (1.0f - std::cos(3.14159265358979f * t)) * 0.5f;
    }
    step_frame(in, frame);

    const uint32_t root_mode = (in->state >> MODEL_ROOT_MODE_SHIFT) & 7u;
    const int32_t root = model_root_index(in);
    Mat4 stack[RES_FRAME_MAX_DEPTH + 1];
    stack[0] = identity;
    FrameWalk walk;
    FrameItem it;
    InstanceBone *b = in->bones;
    int32_t index = 0;
    res_frames_begin(&walk, in->hierarchy);
    while (b && res_frames_next(&walk, &it)) {
        const int32_t d = it.depth < RES_FRAME_MAX_DEPTH ? it.depth : RES_FRAME_MAX_DEPTH;
        Mat4 *top = &stack[d];
        if (it.tag == RES_FRAME_MATRIX) {
            mat4_multiply(top, top, &it.matrix);
            continue;
        }
        if (it.tag == RES_FRAME_PUSH) {
            if (d > 0) *top = stack[d - 1];
            continue;
        }
        if (it.tag != RES_FRAME_NAME) continue;
        // One bone per named frame: its rest pose is the top, then its sample goes before it.
        // Keys and rests each lie within the value limit, but their products along a chain can
        // grow past the float range. Every placement is held to the limit: a sample that would
        // carry its bone past it is left out for this update (the bone keeps its rest pose under
        // its parent, as a bone without a track does), and a rest that is past it already
        // (under a parent its keys made huge) gives way to the parent's placement. Data within
        // reach of a scene never meets either case and is posed as it always was.
        if (!model_matrix_ok(*top)) *top = d > 0 ? stack[d - 1] : identity;
        b->palette = *top;
        b->palette_index = 255;
        b->flags &= ~BONE_WORLD_CURRENT;
        Mat4 sample;
        if (model_sample_track(in, b, &sample)) {
            if (index == root) apply_root_mode(&sample, root_mode);
            Mat4 posed;
            mat4_multiply(&posed, top, &sample);
            if (model_matrix_ok(posed)) *top = posed;
        }
        if (blending) {
            // A fade blends the scales of both ends, which may pass the limit by up to the
            // length of a row: the fade then shows the new pose.
            mat4_interpolate(&b->pose, &b->previous_pose, top, w);
            if (!model_matrix_ok(b->pose)) b->pose = *top;
        } else if (snap) {
            b->pose = b->previous_pose = *top;
        } else {
            b->previous_pose = b->pose;
            b->pose = *top;
        }
        if (requests) model_apply_target(b, top, inverse);
        b = b->next;
        ++index;
    }

    if (in->blend_left > 0) in->blend_left -= 1;
    in->state = blending ? in->state | MODEL_BLENDED : in->state & ~MODEL_BLENDED;
    in->state &= ~(0x1Fu << MODEL_REQUEST_SHIFT);
    for (InstanceBone *k = in->bones; k; k = k->next)
        if (!(k->flags & BONE_WORLD_CURRENT)) model_bone_place(k, world);
    if (chains && inverse) swing_chain_simulate(in, world, inverse, chain_group);

    Mat4 root_now;
    if (root_bone(in)) {
        mat4_identity(&root_now);
        model_root_matrix(in, &root_now);
        const Vec3 p = {root_now.m[3][0], root_now.m[3][1], root_now.m[3][2]};
        const uint64_t after = static_cast<uint64_t>(in->start_frame) + in->speed;
        if ((in->state & MODEL_POSE_VALID) && in->current_frame > after) {
            in->previous_root_position = in->root_position;
            in->root_position = p;
        } else {
            in->previous_root_position = in->root_position = p;
        }
    }
    fill_palette(in, palette_model);
    in->state |= MODEL_POSE_VALID;
}
