// Matrix stack and piece chains of the resource block.
#include "resource/res_matrix.h"

#include "math/mat4.h"
#include "resource/res_pools.h"

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

void res_pieces_free(PieceEntry *head) {
    if (!head) return;
    PiecePool &p = pieces();
    int32_t n = 1;
    PieceEntry *last = head;
    while (last->next) {
        last = last->next;
        ++n;
    }
    last->next = p.free_head;
    p.free_head = head;
    p.in_use -= n;
}

PieceEntry **res_pieces_scratch(void) {
    return pieces().scratch;
}
PiecePool *res_piece_pool(void) {
    return &pieces();
}
