// Frame hierarchies ("BBBB" bodies): checked once when they are stored, then read through a
// walk over their items and the queries built on it.
//
// The frame list is a sequence of u32 items from offset 0:
//   1 name offset, name hash   a named frame (the hash is filled in when stored)
//   2 sixteen floats           a matrix (row vectors, row 3 the translation)
//   3                          push: the following frames hang under the last one
//   4                          pop
//   5                          end of the list
// Other words are passed over one at a time. A frame is written as its matrix, then its name;
// each of its children follows between a push and a pop. Offsets stay offsets into the record's
// copy of the body; every read is checked against the record's size.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"

constexpr uint32_t RES_FRAME_NAME = 1;
constexpr uint32_t RES_FRAME_MATRIX = 2;
constexpr uint32_t RES_FRAME_PUSH = 3;
constexpr uint32_t RES_FRAME_POP = 4;
constexpr uint32_t RES_FRAME_END = 5;

// Bone numbers are 8 bits with 255 meaning none.
constexpr int32_t RES_FRAME_MAX_NAMED = 254;
// Deepest nesting a list may reach: a walker that starts at the bottom of the matrix stack and
// pushes twice before the list never meets the stack's ceiling.
constexpr int32_t RES_FRAME_MAX_DEPTH = RES_MATRIX_DEPTH - 3;

// Checks the record's copy of a body and finishes it: every item inside the body, the list
// ended by the end tag, no pop below the start, nesting at most RES_FRAME_MAX_DEPTH, at most
// RES_FRAME_MAX_NAMED named frames, every name a text inside the body after the list (name
// offset 0: a frame without a name), every matrix value within RES_VALUE_LIMIT
// (resource/res_body_check.h) and every product of the rest walk too. Names lose their "_NRx" /
// "_SPx" parts in place, their hashes are stored, and the named frames, matrices and deepest
// nesting are counted into the record. False when the body is refused.
bool res_frames_prepare(HierarchyRecord *record);

// One item of a walk.
struct FrameItem {
    uint32_t tag;     // RES_FRAME_NAME, _MATRIX, _PUSH or _POP
    uint32_t offset;  // of the tag word
    int32_t depth;    // pushes minus pops up to and including this item
    int32_t index;    // names: running number of named frames; matrices: of matrices
    int32_t parent;   // names: number of the latest named frame at a shallower depth, -1 none
    const char *name; // names: the stored text, null for a frame without a name
    NameHash hash;
    bool has_matrix; // matrices: true; names: a matrix comes before it in the list
    Mat4 matrix;     // matrices: its own; names: the last matrix before it
};

struct FrameWalk {
    const HierarchyRecord *record;
    uint32_t pos;
    int32_t depth;
    int32_t named, matrices;
    uint32_t last_matrix; // offset of the floats of the last matrix, 0 before the first
    int32_t latest[RES_FRAME_MAX_DEPTH + 1]; // latest named frame at each depth, -1 none
};

// Starts a walk over a stored hierarchy; false (and no items) for an invalid handle.
bool res_frames_begin(FrameWalk *walk, ResourceHandle hierarchy);
// The next item; false at the end of the list.
bool res_frames_next(FrameWalk *walk, FrameItem *item);

// True when a walker that pushes `pushes` times before walking the list still fits the
// matrix stack from its current depth (the stack ignores pushes past its top).
bool res_frames_stack_room(ResourceHandle hierarchy, int32_t pushes);

// A walk item applied to the resource matrix stack: a matrix multiplies the top, a push
// pushes, a pop pops. False (nothing done) for a named frame.
bool res_frames_apply_to_stack(const FrameItem *item);

// The last matrix before the named frame in list order; false when the frame is not found or
// no matrix comes before it.
bool res_find_frame_matrix(ResourceHandle hierarchy, const char *name, Mat4 *out);
// The frame's world matrix: the list walked with the resource matrix stack from identity
// (matrices multiply the top, push and pop). The stack is left at its depth on entry. False
// when the frame is not found or the stack has no room for the list's nesting.
bool res_frame_world_matrix(ResourceHandle hierarchy, const char *name, Mat4 *out);
// Named frames after the named one that lie deeper, until the walk leaves its subtree; with a
// depth limit above 0, only those at most that many levels deeper.
int32_t res_frame_descendant_count(ResourceHandle hierarchy, const char *name, int32_t limit);
// The n-th of those frames' names (from 0), null when there is none.
const char *res_frame_descendant_name(ResourceHandle hierarchy, const char *name, int32_t n,
                                      int32_t limit);
