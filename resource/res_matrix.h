// The resource block's matrix stack (64 entries) and its pool of ten piece entries linked into
// piece chains for piece-mesh nodes.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_handle.h"

struct ModelInstance;

constexpr int RES_MATRIX_DEPTH = 64;
constexpr int RES_PIECE_COUNT = 10;

struct MatrixStack {
    Mat4 entries[RES_MATRIX_DEPTH];
    int32_t top; // 0..63
};

struct PieceEntry {
    ResourceHandle model;
    uint32_t flags; // piece draw flags of the piece-mesh node
    union {
        float value;  // 0.0 when added; the piece-mesh draw's squared distance
        uint32_t key; // or its sort key
    };
    void *model_data;
    uint32_t node_word;       // object index of the piece-mesh node that drew the piece last
    uint32_t model_name_hash; // tells the model from a later one made in a released record
    PieceEntry *next;
};

struct PiecePool {
    PieceEntry entries[RES_PIECE_COUNT];
    PieceEntry *scratch[RES_PIECE_COUNT]; // handed to the piece-mesh draw
    PieceEntry *free_head;
    PieceEntry *cursor;     // next entry of the chain being built
    PieceEntry *last_added; // last entry of the chain being built
    int32_t added;          // entries added to the chain being built
    int32_t in_use;
    int32_t capacity;
    int32_t highest_in_use;
};

void res_matrix_reset(void);
void res_matrix_push(void);
void res_matrix_pop(void);
void res_matrix_load(const Mat4 *m);
void res_matrix_mult(const Mat4 *m);
int32_t res_matrix_depth(void);
Mat4 *res_matrix_top(void);
Mat4 *res_matrix_parent(void);

void res_pieces_reset(void);
void res_pieces_begin(void);
bool res_pieces_add(const char *group, const char *name, const uint32_t *flags);
bool res_pieces_end(PieceEntry **out_head);
// Puts a chain back in front of the free list. A chain that is not wholly in use (an entry
// outside the pool or already free, or a loop longer than the pool) is refused whole.
void res_pieces_free(PieceEntry *head);
PieceEntry **res_pieces_scratch(void);
PiecePool *res_piece_pool(void);

// Debug skeleton: the frames of a hierarchy as one-frame world wire lines without depth writes.
// Each frame closed by a pop gets a bone line from its parent's position (red) to its own
// (green) and three axis lines of length 0.1 along its matrix rows (red, green, blue). Frame
// matrices come from the list under `root`, or, with a pose of that hierarchy, from its bones
// (pose x root), one bone per named frame while the bone list lasts. With `labels` each named
// frame's position is only projected to the screen and no line is drawn. The matrix stack is
// left at its depth on entry. Returns the frames drawn (or projected).
int32_t res_draw_skeleton_wire(uint32_t owner, ResourceHandle hierarchy, const Mat4 *root,
                               bool labels, const ModelInstance *pose);
