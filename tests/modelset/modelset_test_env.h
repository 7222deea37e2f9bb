// Shared by the model-set and stage-set tests: the device, the generated 3D sample files in a
// scratch folder that is the working folder while a test runs, node kinds, colliders and
// larger pools, and the description's frames of the stage hierarchy.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "math/math_types.h"
#include "scene/object_manager.h"
#include "tools/datagen/sample3d.h"

constexpr int MODELSET_TEST_WIDTH = 160;
constexpr int MODELSET_TEST_HEIGHT = 120;

// Writes the sample files once, enters their folder and starts everything afresh.
bool modelset_test_begin(void);
void modelset_test_end(void);
// Loads the named sample files through the data loader (queue run until empty).
bool modelset_test_load(const std::vector<const char *> &groups);

const SampleFile &modelset_test_file(const char *group);
// The stage hierarchy as described: each frame's world matrix is its rest matrix applied
// before its parent's (row vectors), worked out here in double precision.
Mat4 modelset_test_world(const SampleHierarchy &h, int frame);
bool modelset_test_has_model(const SampleFile &f, const std::string &name);

// The live objects of an owner, oldest first.
std::vector<SceneObject *> modelset_test_objects(OwnerId owner);
