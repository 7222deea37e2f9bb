// Matrix stack and piece chains of the resource block.
#include "resource/res_matrix.h"

#include "math/mat4.h"
#include "render/view.h"
#include "resource/res_frames.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/wire_prims.h"

static MatrixStack &stack(void) {
    return res_pools()->matrices;
}
static PiecePool &pieces(void) {
    return res_pools()->pieces;
}

void res_matrix_reset(void) {
    stack().top = 0;
    mat4_identity(&stack().entries[0]);
}

void res_matrix_push(void) {
    MatrixStack &s = stack();
    if (s.top >= RES_MATRIX_DEPTH - 1) return;
    s.entries[s.top + 1] = s.entries[s.top];
    ++s.top;
}

void res_matrix_pop(void) {
    if (stack().top > 0) --stack().top;
}

void res_matrix_load(const Mat4 *m) {
    if (m)
        stack().entries[stack().top] = *m;
    else
        mat4_identity(&stack().entries[stack().top]);
}

void res_matrix_mult(const Mat4 *m) {
    if (!m) return;
    Mat4 product;
    mat4_multiply(&product, &stack().entries[stack().top], m);
    stack().entries[stack().top] = product;
}

int32_t res_matrix_depth(void) {
    return stack().top;
}
Mat4 *res_matrix_top(void) {
    return &stack().entries[stack().top];
}
Mat4 *res_matrix_parent(void) {
    return stack().top > 0 ? &stack().entries[stack().top - 1] : nullptr;
}

void res_pieces_reset(void) {
    PiecePool &p = pieces();
    for (int i = 0; i < RES_PIECE_COUNT; ++i)
        p.entries[i].next = i + 1 < RES_PIECE_COUNT ? &p.entries[i + 1] : nullptr;
    p.free_head = &p.entries[0];
    p.cursor = p.last_added = nullptr;
    p.added = 0;
    p.in_use = 0;
    p.capacity = RES_PIECE_COUNT;
}

void res_pieces_begin(void) {
    PiecePool &p = pieces();
    p.cursor = p.free_head;
    p.last_added = nullptr;
    p.added = 0;
}

bool res_pieces_add(const char *group, const char *name, const uint32_t *flags) {
    PiecePool &p = pieces();
    ResourceHandle model = res_find_model(group, name);
    if (!model || !p.cursor) return false;
    PieceEntry *e = p.cursor;
    ModelRecord *r = res_model_record(model);
    e->model = model;
    e->flags = flags ? *flags : 0;
    e->value = 0.0f;
    e->model_data = r ? r->data : nullptr;
    e->model_name_hash = r ? r->header.name_hash : 0;
    p.last_added = e;
    p.cursor = e->next;
    ++p.added;
    return true;
}

bool res_pieces_end(PieceEntry **out_head) {
    PiecePool &p = pieces();
    bool ok = p.added > 0;
    if (ok) {
        if (out_head) *out_head = p.free_head;
        p.free_head = p.cursor;
        p.last_added->next = nullptr;
    } else if (out_head) {
        *out_head = nullptr;
    }
    p.in_use += p.added;
    p.cursor = p.last_added = nullptr;
    p.added = 0;
    if (p.in_use > p.highest_in_use) p.highest_in_use = p.in_use;
    return ok;
}

static bool piece_is_free(const PiecePool &p, const PieceEntry *e) {
    int32_t n = 0;
    for (const PieceEntry *f = p.free_head; f && n < p.capacity; f = f->next, ++n)
        if (f == e) return true;
    return false;
}

void res_pieces_free(PieceEntry *head) {
    if (!head) return;
    PiecePool &p = pieces();
    // The walk is bounded by the pool: a chain freed twice (or after a reset) would otherwise
    // link the free list into a loop.
    int32_t n = 0;
    PieceEntry *last = nullptr;
    for (PieceEntry *e = head; e; e = e->next) {
        if (++n > p.capacity || e < p.entries || e >= p.entries + RES_PIECE_COUNT ||
            piece_is_free(p, e))
            return;
        last = e;
    }
    last->next = p.free_head;
    p.free_head = head;
    p.in_use = p.in_use > n ? p.in_use - n : 0;
}

PieceEntry **res_pieces_scratch(void) {
    return pieces().scratch;
}
PiecePool *res_piece_pool(void) {
    return &pieces();
}

// ---------------------------------------------------------------------------------------------
// Debug skeleton

static Vec3 row_of(const Mat4 *m, int row) {
    return {m->m[row][0], m->m[row][1], m->m[row][2]};
}

static void put_unlit_line(uint32_t owner, const Vec3 &a, uint32_t ca, const Vec3 &b, uint32_t cb) {
    wire_set_depth_write(wire_put_line(owner, &a, ca, &b, cb), 0);
}

// The bone from the parent to the frame on top of the stack, and the frame's three axes.
static void put_bone(uint32_t owner) {
    const Mat4 *m = res_matrix_top();
    const Vec3 at = row_of(m, 3), from = row_of(res_matrix_parent(), 3);
    put_unlit_line(owner, from, 0xFFFF0000u, at, 0xFF00FF00u);
    static const uint32_t axis_color[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (int i = 0; i < 3; ++i) {
        const Vec3 r = row_of(m, i);
        const Vec3 end = {at.x + r.x * 0.1f, at.y + r.y * 0.1f, at.z + r.z * 0.1f};
        put_unlit_line(owner, at, axis_color[i], end, axis_color[i]);
    }
}

int32_t res_draw_skeleton_wire(uint32_t owner, ResourceHandle hierarchy, const Mat4 *root,
                               bool labels, const ModelInstance *pose) {
    FrameWalk w;
    if (!res_frames_begin(&w, hierarchy)) return 0;
    const int32_t entry = res_matrix_depth();
    if (entry + 2 + w.record->depth > RES_MATRIX_DEPTH - 1) return 0;
    const InstanceBone *bone = pose && pose->hierarchy == hierarchy ? pose->bones : nullptr;
    Mat4 base_matrix;
    if (root)
        base_matrix = *root;
    else
        mat4_identity(&base_matrix);
    res_matrix_push();
    res_matrix_load(&base_matrix);
    res_matrix_push();
    const int32_t base = res_matrix_depth();
    int32_t drawn = 0;
    FrameItem it;
    while (res_frames_next(&w, &it)) {
        switch (it.tag) {
            case RES_FRAME_MATRIX:
                // A posed frame takes its bone's matrix at its name; frames past the end of
                // the bone list keep their rest matrices.
                if (!bone) res_matrix_mult(&it.matrix);
                break;
            case RES_FRAME_NAME:
                if (bone) {
                    mat4_multiply(res_matrix_top(), &base_matrix, &bone->pose);
                    bone = bone->next;
                }
                if (labels && it.name) {
                    float x, y;
                    const Vec3 at = row_of(res_matrix_top(), 3);
                    view_project_point((int)view_get_current(), &x, &y, &at);
                    ++drawn;
                }
                break;
            case RES_FRAME_PUSH:
                res_matrix_push();
                break;
            case RES_FRAME_POP:
                if (res_matrix_depth() <= base) break;
                if (!labels) {
                    put_bone(owner);
                    ++drawn;
                }
                res_matrix_pop();
                break;
            default:
                break;
        }
    }
    while (res_matrix_depth() > entry) res_matrix_pop();
    return drawn;
}
