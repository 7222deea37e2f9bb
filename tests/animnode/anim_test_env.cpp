#include "anim_test_env.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "collision/collider.h"
#include "nodes_test_env.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "scene/model_instance.h"
#include "tests/support/test_files.h"

namespace {

std::string s_folder; // holds bin/ with the 3D files

bool write_set(void) {
    if (!s_folder.empty()) return true;
    const std::string folder = test_temp_folder("animnode");
    if (folder.empty() || mkdir((folder + "/bin").c_str(), 0755) != 0) return false;
    std::string error;
    if (!datagen_write_3d(folder + "/bin/", &error)) return false;
    s_folder = folder;
    return true;
}

// Key f of a track from its description: the elementary rotation about the axis.
TestMat key_of(const SampleTrack &t, uint32_t f) {
    const double a = static_cast<double>(t.step) * f, c = std::cos(a), s = std::sin(a);
    TestMat m = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_X) m = {1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_Y) m = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1};
    if (t.axis == SAMPLE_AXIS_Z) m = {c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (int k = 0; k < 3; ++k) m[12 + k] = static_cast<double>(t.move[k]) * f;
    return m;
}

} // namespace

bool anim_test_begin(uint32_t clear) {
    if (!nodes_test_device() || !write_set()) return false;
    nodes_test_begin(clear);
    ResourcePoolSizes s = *res_default_sizes();
    for (ResourcePoolSize *p :
         {&s.hierarchies, &s.motions, &s.collmeshes, &s.shape_sets, &s.camera_tracks})
        *p = ResourcePoolSize{16, 1024, 1 << 16};
    s.models = 32;
    s.model_subsets = s.model_bones = 64;
    s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    res_init(&s);
    loader_init();
    coll_init();
    model_init_pools();
    char old_cwd[PATH_MAX];
    if (!getcwd(old_cwd, sizeof old_cwd) || chdir(s_folder.c_str()) != 0) return false;
    bool ok = loader_enqueue("mo", 0) && loader_enqueue("T", 0);
    int guard = 0;
    while (ok && loader_step() == 1 && ++guard < 10000) {
    }
    ok = ok && guard < 10000 && chdir(old_cwd) == 0;
    return ok && res_find_hierarchy("mo", "By") && res_find_hierarchy("T", "B1");
}

void anim_test_end(void) {
    coll_term();
    loader_shutdown();
}

const SampleFile *anim_test_file(const char *group) {
    for (const SampleFile &f : datagen_3d_files())
        if (f.group == group) return &f;
    return nullptr;
}

const SampleHierarchy *anim_test_hierarchy(const char *group) {
    const SampleFile *f = anim_test_file(group);
    return f && !f->hierarchies.empty() ? &f->hierarchies[0] : nullptr;
}

const SampleMotion *anim_test_motion(const char *group, const char *name) {
    if (const SampleFile *f = anim_test_file(group))
        for (const SampleMotion &m : f->motions)
            if (m.name == name) return &m;
    return nullptr;
}

int anim_frame_index(const SampleHierarchy &h, const char *name) {
    for (size_t i = 0; i < h.frames.size(); ++i)
        if (h.frames[i].name == name) return static_cast<int>(i);
    return -1;
}

TestMat anim_posed_world(const SampleHierarchy &h, const SampleMotion *m, int i, uint32_t f) {
    TestMat local = test_mat_of(h.frames[i].rest.data());
    if (m)
        for (const SampleTrack &t : m->tracks)
            if (t.frame == h.frames[i].name) local = test_mat_product(key_of(t, f), local);
    const int p = h.frames[i].parent;
    return p < 0 ? local : test_mat_product(local, anim_posed_world(h, m, p, f));
}

TestMat anim_rest_world(const SampleHierarchy &h, int i) {
    return anim_posed_world(h, nullptr, i, 0);
}
