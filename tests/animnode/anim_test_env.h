// Shared by the animated-node tests: the node tests' device, kinds and views, resource pools
// large enough for the generated 3D sample set, which is written once per program and loaded
// afresh for each test, and the colliders.
#pragma once
#include <string>

#include "math/math_types.h"
#include "resource/res_handle.h"
#include "tests/support/test_matrix.h"
#include "tools/datagen/sample3d.h"

// Device, kinds, pools and views as nodes_test_begin, then the sample set loaded. False when
// the device or the data cannot be made.
bool anim_test_begin(uint32_t clear = 0xFF000000u);
void anim_test_end(void);

// The description of one generated file, null when there is none.
const SampleFile *anim_test_file(const char *group);
const SampleHierarchy *anim_test_hierarchy(const char *group);
const SampleMotion *anim_test_motion(const char *group, const char *name);

// World matrices worked out from the description, in double precision: frame i at rest, and
// frame i posed at frame f of a motion (a tracked frame's key applied before its rest matrix).
TestMat anim_rest_world(const SampleHierarchy &h, int i);
TestMat anim_posed_world(const SampleHierarchy &h, const SampleMotion *m, int i, uint32_t f);
int anim_frame_index(const SampleHierarchy &h, const char *name);
