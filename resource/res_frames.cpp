// Frame hierarchies: the check and finish of a stored body, the walk, and the queries.
#include "resource/res_frames.h"

#include <cmath>
#include <cstring>

#include "math/mat4.h"
#include "resource/chunks.h"
#include "resource/res_body_check.h"
#include "resource/res_matrix.h"

// Item sizes in bytes, tag word included.
constexpr uint32_t NAME_ITEM = 12;
constexpr uint32_t MATRIX_ITEM = 4 + 64;

static void set_u32(uint8_t *p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Counts of a checked list.
struct ListShape {
    uint32_t end; // first byte after the end tag
    int32_t named, matrices, depth;
};

// Walks the list once, checking that every item lies inside the body, no pop goes below the
// start, the nesting and the named frames stay within their limits and the end tag is reached.
static bool check_list(const uint8_t *b, uint32_t size, ListShape *shape) {
    *shape = ListShape{};
    uint32_t pos = 0, tag;
    int32_t depth = 0;
    while (chunk_read_u32(b, size, pos, &tag)) {
        uint64_t next = static_cast<uint64_t>(pos) + 4;
        switch (tag) {
            case RES_FRAME_NAME:
                next = static_cast<uint64_t>(pos) + NAME_ITEM;
                if (++shape->named > RES_FRAME_MAX_NAMED) return false;
                break;
            case RES_FRAME_MATRIX:
                next = static_cast<uint64_t>(pos) + MATRIX_ITEM;
                ++shape->matrices;
                break;
            case RES_FRAME_PUSH:
                if (++depth > RES_FRAME_MAX_DEPTH) return false;
                if (depth > shape->depth) shape->depth = depth;
                break;
            case RES_FRAME_POP:
                if (--depth < 0) return false;
                break;
            case RES_FRAME_END:
                shape->end = pos + 4;
                return true;
            default:
                break;
        }
        if (next > size) return false;
        if (tag == RES_FRAME_MATRIX && !res_values_ok(b + pos + 4, 16)) return false;
        pos = static_cast<uint32_t>(next);
    }
    return false; // the list runs past the body without its end tag
}

// Walks a checked list as a pose or a world-matrix query does (a matrix multiplies the top of
// its depth as mat4_multiply(top, top, matrix), a push starts the new depth from its parent's top),
// in double precision: true when every product stays within RES_VALUE_LIMIT. Each matrix alone is
// within the limit, but a chain of them can multiply its way past the float range; refused here, no
// rest pose or world matrix of a stored hierarchy can overflow.
static bool rest_products_bounded(const uint8_t *b, uint32_t end) {
    static double stack[RES_FRAME_MAX_DEPTH + 1][16];
    for (int k = 0; k < 16; ++k) stack[0][k] = k % 5 == 0 ? 1.0 : 0.0;
    uint32_t pos = 0, tag;
    int32_t depth = 0;
    while (pos < end && chunk_read_u32(b, end, pos, &tag)) {
        if (tag == RES_FRAME_PUSH) {
            ++depth;
            std::memcpy(stack[depth], stack[depth - 1], sizeof stack[0]);
        } else if (tag == RES_FRAME_POP) {
            --depth;
        } else if (tag == RES_FRAME_MATRIX) {
            float m[16];
            std::memcpy(m, b + pos + 4, 64);
            double *top = stack[depth], out[16];
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) {
                    double sum = 0.0;
                    for (int k = 0; k < 4; ++k) sum += m[4 * i + k] * top[4 * k + j];
                    if (!(std::fabs(sum) <= RES_VALUE_LIMIT)) return false;
                    out[4 * i + j] = sum;
                }
            std::memcpy(top, out, sizeof out);
            pos += MATRIX_ITEM;
            continue;
        }
        pos += tag == RES_FRAME_NAME ? NAME_ITEM : 4;
    }
    return true;
}

bool res_frames_prepare(HierarchyRecord *r) {
    if (!r || !r->frames) return false;
    uint8_t *b = r->frames;
    ListShape shape;
    if (!check_list(b, r->size, &shape) || !rest_products_bounded(b, shape.end)) return false;
    // Names lie after the list, so that stripping them in place never touches an item. Every
    // name is stripped before any hash is taken: texts may share bytes.
    for (int pass = 0; pass < 2; ++pass) {
        uint32_t pos = 0, tag, offset, len;
        while (pos < shape.end && chunk_read_u32(b, r->size, pos, &tag)) {
            if (tag == RES_FRAME_MATRIX) {
                pos += MATRIX_ITEM;
                continue;
            }
            if (tag != RES_FRAME_NAME) {
                pos += 4;
                continue;
            }
            chunk_read_u32(b, r->size, pos + 4, &offset);
            if (offset != 0) {
                if (offset < shape.end || !chunk_text_length(b, r->size, offset, &len))
                    return false;
                char *text = reinterpret_cast<char *>(b + offset);
                if (pass == 0)
                    res_name_suffix_flags(text, len + 1, text);
                else
                    set_u32(b + pos + 8, res_hash_name(text));
            } else if (pass == 1) {
                set_u32(b + pos + 8, 0);
            }
            pos += NAME_ITEM;
        }
    }
    r->named_count = static_cast<uint32_t>(shape.named);
    r->matrix_count = static_cast<uint32_t>(shape.matrices);
    r->depth = shape.depth;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Walk

static bool read_matrix(const HierarchyRecord *r, uint32_t at, Mat4 *out) {
    if (!r->frames || at > r->size || r->size - at < 64) return false;
    std::memcpy(out, r->frames + at, 64);
    return true;
}

bool res_frames_begin(FrameWalk *w, ResourceHandle h) {
    *w = FrameWalk{};
    w->record = res_hierarchy_record(h);
    for (int32_t &l : w->latest) l = -1;
    return w->record && w->record->frames;
}

bool res_frames_next(FrameWalk *w, FrameItem *it) {
    const HierarchyRecord *r = w->record;
    uint32_t tag;
    while (r && chunk_read_u32(r->frames, r->size, w->pos, &tag)) {
        *it = FrameItem{};
        it->tag = tag;
        it->offset = w->pos;
        it->parent = -1;
        switch (tag) {
            case RES_FRAME_NAME: {
                uint32_t offset = 0, hash = 0, len;
                if (!chunk_read_u32(r->frames, r->size, w->pos + 4, &offset) ||
                    !chunk_read_u32(r->frames, r->size, w->pos + 8, &hash))
                    return false;
                if (offset && chunk_text_length(r->frames, r->size, offset, &len))
                    it->name = reinterpret_cast<const char *>(r->frames + offset);
                it->hash = it->name ? hash : 0;
                it->index = w->named++;
                int32_t d = w->depth < RES_FRAME_MAX_DEPTH ? w->depth : RES_FRAME_MAX_DEPTH;
                for (int32_t k = 0; k < d; ++k)
                    if (w->latest[k] > it->parent) it->parent = w->latest[k];
                w->latest[d] = it->index;
                it->has_matrix = w->last_matrix && read_matrix(r, w->last_matrix, &it->matrix);
                w->pos += NAME_ITEM;
                break;
            }
            case RES_FRAME_MATRIX:
                if (!read_matrix(r, w->pos + 4, &it->matrix)) return false;
                it->has_matrix = true;
                it->index = w->matrices++;
                w->last_matrix = w->pos + 4;
                w->pos += MATRIX_ITEM;
                break;
            case RES_FRAME_PUSH:
                ++w->depth;
                w->pos += 4;
                break;
            case RES_FRAME_POP:
                if (w->depth > 0) --w->depth;
                w->pos += 4;
                break;
            case RES_FRAME_END:
                return false;
            default:
                w->pos += 4;
                continue;
        }
        it->depth = w->depth;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Queries

static bool same_name(const FrameItem &it, const char *name, NameHash hash) {
    return it.tag == RES_FRAME_NAME && it.name && it.hash == hash &&
           std::strcmp(it.name, name) == 0;
}

// Walks up to the named frame; false when it is not found.
static bool walk_to(FrameWalk *w, FrameItem *it, ResourceHandle h, const char *name) {
    if (!name || !res_frames_begin(w, h)) return false;
    NameHash hash = res_hash_name(name);
    while (res_frames_next(w, it))
        if (same_name(*it, name, hash)) return true;
    return false;
}

bool res_find_frame_matrix(ResourceHandle h, const char *name, Mat4 *out) {
    FrameWalk w;
    FrameItem it;
    if (!out || !walk_to(&w, &it, h, name) || !it.has_matrix) return false;
    *out = it.matrix;
    return true;
}

bool res_frames_stack_room(ResourceHandle h, int32_t pushes) {
    const HierarchyRecord *r = res_hierarchy_record(h);
    return r && pushes >= 0 && res_matrix_depth() + pushes + r->depth <= RES_MATRIX_DEPTH - 1;
}

bool res_frames_apply_to_stack(const FrameItem *it) {
    switch (it->tag) {
        case RES_FRAME_MATRIX:
            res_matrix_mult(&it->matrix);
            return true;
        case RES_FRAME_PUSH:
            res_matrix_push();
            return true;
        case RES_FRAME_POP:
            res_matrix_pop();
            return true;
        default:
            return false;
    }
}

bool res_frame_world_matrix(ResourceHandle h, const char *name, Mat4 *out) {
    FrameWalk w;
    if (!out || !name || !res_frames_begin(&w, h) || !res_frames_stack_room(h, 1)) return false;
    int32_t entry = res_matrix_depth();
    NameHash hash = res_hash_name(name);
    bool found = false;
    res_matrix_push();
    res_matrix_load(nullptr);
    FrameItem it;
    while (!found && res_frames_next(&w, &it)) {
        if (res_frames_apply_to_stack(&it)) continue;
        found = same_name(it, name, hash);
        if (found) *out = *res_matrix_top();
    }
    while (res_matrix_depth() > entry) res_matrix_pop();
    return found;
}

// Calls `visit` (bool(const FrameItem &), false stops) for each descendant of the named frame
// within the depth limit.
template <typename Visit>
static void each_descendant(ResourceHandle h, const char *name, int32_t limit, Visit visit) {
    FrameWalk w;
    FrameItem it;
    if (!walk_to(&w, &it, h, name)) return;
    int32_t base = it.depth;
    while (res_frames_next(&w, &it) && it.depth >= base) {
        if (it.tag != RES_FRAME_NAME) continue;
        if (it.depth == base) break; // back at the frame's own level: its subtree is over
        if (limit > 0 && it.depth - base > limit) continue;
        if (!visit(it)) break;
    }
}

int32_t res_frame_descendant_count(ResourceHandle h, const char *name, int32_t limit) {
    int32_t n = 0;
    each_descendant(h, name, limit, [&](const FrameItem &) { return ++n, true; });
    return n;
}

const char *res_frame_descendant_name(ResourceHandle h, const char *name, int32_t n,
                                      int32_t limit) {
    const char *found = nullptr;
    if (n < 0) return nullptr;
    each_descendant(h, name, limit, [&](const FrameItem &it) {
        if (n-- > 0) return true;
        found = it.name;
        return false;
    });
    return found;
}
