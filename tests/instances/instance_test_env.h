// Shared by the model-instance tests: the renderer started once, resource pools larger than the
// program's holding the generated 3D sample set, hierarchies and motions made from descriptions,
// and the pose a description gives, worked out in double precision.
#pragma once
#include <string>
#include <vector>

#include "math/math_types.h"
#include "resource/res_pools.h"
#include "tests/support/test_matrix.h"
#include "tools/datagen/sample3d.h"

// Fresh pools with the sample set's "mdl", "mo" and "T" files loaded, a scene reset (model
// block and colliders empty).
void inst_test_start(void);

const SampleFile &inst_test_file(const std::string &group);
const SampleHierarchy &inst_test_hierarchy(const std::string &group);
const SampleMotion &inst_test_motion(const std::string &group, const std::string &name);

// A hierarchy or motion made from a description straight into the pools ("test" group).
ResourceHandle inst_test_make_hierarchy(const SampleHierarchy &h);
ResourceHandle inst_test_make_motion(const SampleMotion &m);

// Key f of a track, from its description.
TestMat inst_test_key(const SampleTrack &t, double f);
// Model-space pose of every frame at whole frame f: key (when the frame has a track) applied
// before its rest matrix, then the parent's pose.
std::vector<TestMat> inst_test_poses(const SampleHierarchy &h, const SampleMotion *m, double f);

TestMat inst_test_translation(double x, double y, double z);
// Elementary rotations of the math library (about z, x turns towards y).
TestMat inst_test_rotation(SampleAxis axis, double angle);
void inst_test_expect_near(const Mat4 &got, const TestMat &want, double tolerance,
                           const std::string &what);
