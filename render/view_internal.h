// The static block behind the view modules (view.cpp, view_light.cpp, view_aux.cpp).
// Index VIEW_COUNT of each per-view array is a scratch record that absorbs view numbers other
// than 0 and 1, and index 2 of each aux camera pair absorbs a bad camera index.
#pragma once

#include "render/view.h"

// The current view and the active aux camera live in the display record's header.
struct ViewBlock {
    uint32_t aux_count[VIEW_COUNT + 1];
    Mat4 slots[VIEW_COUNT + 1][VIEW_SLOT_COUNT];
    FrustumPlanes planes[VIEW_COUNT + 1][VIEW_PLANE_SET_COUNT];
    ViewRecord records[VIEW_COUNT + 1];
    ViewLight lights[VIEW_COUNT + 1];
    ViewAuxCamera aux[VIEW_COUNT + 1][3];
    ViewMirrorPlane mirror[VIEW_COUNT + 1];
};

ViewBlock *view_block(void);

inline int view_index(int view) {
    return (unsigned)view < (unsigned)VIEW_COUNT ? view : VIEW_COUNT;
}
inline int view_aux_index(int k) {
    return (unsigned)k < 2u ? k : 2;
}
inline ViewRecord *view_record(int view) {
    return &view_block()->records[view_index(view)];
}

// Auxiliary cameras and mirrored camera of one rebuild; w, v and p are the view's camera world,
// view and projection matrices of that rebuild.
void view_aux_build(int view, const Mat4 *w);
void view_mirror_build(int view, const Mat4 *v, const Mat4 *p);
