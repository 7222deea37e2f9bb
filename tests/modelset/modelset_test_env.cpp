#include "modelset_test_env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "collision/collider.h"
#include "render/view.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "scene/node_settings.h"
#include "tests/support/test_files.h"
#include "tests/support/test_render.h"

namespace {
std::string s_folder;
char s_old_cwd[PATH_MAX];
std::vector<SceneObject *> s_found;
OwnerId s_owner;
} // namespace

bool modelset_test_begin(void) {
    if (!test_render_device("modelset test", MODELSET_TEST_WIDTH, MODELSET_TEST_HEIGHT))
        return false;
    if (s_folder.empty()) {
        s_folder = test_temp_folder("modelset");
        std::string error;
        if (s_folder.empty() || mkdir((s_folder + "/bin").c_str(), 0755) != 0 ||
            !datagen_write_3d(s_folder + "/bin/", &error))
            return false;
    }
    if (!getcwd(s_old_cwd, sizeof s_old_cwd) || chdir(s_folder.c_str()) != 0) return false;
    obj_manager_init();
    view_register_node_kinds();
    coll_init();
    ResourcePoolSizes s = *res_default_sizes();
    for (ResourcePoolSize *p :
         {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
        *p = ResourcePoolSize{16, 1024, 1 << 16};
    s.models = 16;
    s.model_subsets = s.model_bones = 64;
    s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    res_init(&s);
    loader_init();
    model_init_pools();
    view_set_defaults();
    view_set_viewport(0, 0, 0, MODELSET_TEST_WIDTH, MODELSET_TEST_HEIGHT);
    return true;
}

void modelset_test_end(void) {
    loader_shutdown();
    obj_manager_init();
    owner_clear_all();
    res_init(nullptr);
    if (s_old_cwd[0] && chdir(s_old_cwd) != 0) s_old_cwd[0] = 0;
}

bool modelset_test_load(const std::vector<const char *> &groups) {
    for (const char *g : groups)
        if (!loader_enqueue(g, 0)) return false;
    for (int guard = 0; guard < 10000; ++guard)
        if (loader_step() != 1) return true;
    return false;
}

const SampleFile &modelset_test_file(const char *group) {
    for (const SampleFile &f : datagen_3d_files())
        if (f.group == group) return f;
    static const SampleFile none{};
    return none;
}

Mat4 modelset_test_world(const SampleHierarchy &h, int frame) {
    double w[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    for (int f = frame; f >= 0; f = h.frames[f].parent) {
        // w = w x rest(f): each frame's rest comes before its parent's.
        double out[4][4];
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                out[i][j] = 0;
                for (int k = 0; k < 4; ++k) out[i][j] += w[i][k] * h.frames[f].rest[k * 4 + j];
            }
        std::copy(&out[0][0], &out[0][0] + 16, &w[0][0]);
    }
    Mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i / 4][i % 4] = (float)w[i / 4][i % 4];
    return m;
}

bool modelset_test_has_model(const SampleFile &f, const std::string &name) {
    for (const SampleModel &m : f.models)
        if (m.name == name) return true;
    return false;
}

std::vector<SceneObject *> modelset_test_objects(OwnerId owner) {
    s_found.clear();
    s_owner = owner;
    obj_for_each([](SceneObject *o) {
        if (o->owner == s_owner) s_found.insert(s_found.begin(), o); // newest first: reverse
    });
    return s_found;
}
