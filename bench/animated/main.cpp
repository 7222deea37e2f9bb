// Animated-node benchmark: N animated nodes (N = 64 and 256, the model block's capacity) of
// the generated skinned figure "By", each playing the motion "mime" from its own frame, laid
// out on a grid in front of a perspective camera and posed and drawn every frame through an
// 800 x 600 render view whose picture is shown on the screen. Vsync is off; run it under Xvfb
// to measure the software rasteriser. After 30 frames of warm-up, 600 frames are timed; prints
// the mean frame time, the mean processor time of the poses and of the kind's draw.
// Usage: bench_animated [N ...]
#include <SDL2/SDL.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/config.h"
#include "math/mat4.h"
#include "render/gfx_device.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/rtview.h"
#include "render/view.h"
#include "resource/loader.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_instance.h"
#include "bench/kind_draw_timer.h"
#include "bench/scratch_folder.h"
#include "scene/object_internal.h"
#include "scene/sprite2d.h"
#include "tools/datagen/sample3d.h"

namespace {

constexpr int WIDTH = 800, HEIGHT = 600;
constexpr int WARM_UP = 30, FRAMES = 600;
constexpr int32_t SHOWN_LAYER = 6; // drawn over the layer target

// The generated sample set written to a scratch folder (removed at exit) and "mo" loaded from it.
// The program's pools hold no 3D data: they are made again with room for it, and the render targets
// that live in them (the layer target, the render views' slots) with them.
bool load_figure(void) {
    const char *folder = bench_scratch_folder("bench_animated");
    if (!folder) return false;
    const std::string bin = std::string(folder) + "/bin/";
    std::string error;
    if (mkdir(bin.c_str(), 0755) != 0 || !datagen_write_3d(bin, &error)) return false;
    ResourcePoolSizes s = *res_default_sizes();
    s.hierarchies = s.motions = ResourcePoolSize{8, 1024, 1 << 16};
    s.models = 16;
    s.model_subsets = s.model_bones = 64;
    s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 1024;
    rtview_shutdown();
    gfx_release_layer_target();
    res_init(&s);
    gfx_create_layer_target();
    rtview_init();
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd) || chdir(folder) != 0) return false;
    bool ok = loader_enqueue("mo", 0);
    int guard = 0;
    while (ok && loader_step() == 1 && ++guard < 10000) {
    }
    ok = chdir(cwd) == 0 && ok;
    return ok && res_find_model("mo", "By") && res_find_hierarchy("mo", "By") &&
           res_find_motion("mo", "mime");
}

// A square grid of n figures, 2 units apart, in front of the camera.
std::vector<SceneObject *> place_figures(int n) {
    const ResourceHandle model = res_find_model("mo", "By");
    const int32_t hierarchy = (int32_t)res_find_hierarchy("mo", "By");
    const int32_t motion = (int32_t)res_find_motion("mo", "mime");
    const int side = (int)std::ceil(std::sqrt((double)n));
    std::vector<SceneObject *> nodes;
    for (int i = 0; i < n; ++i) {
        Mat4 m;
        mat4_identity(&m);
        m.m[3][0] = (float)(i % side - (side - 1) * 0.5) * 2.0f;
        m.m[3][2] = (float)(i / side) * 2.0f;
        SceneObject *node = animnode_create(0, &m, model, NODE_DEFAULT_LAYER);
        if (!node || !animnode_instance(node)) break;
        animnode_set_motion(node, hierarchy, motion);
        animnode_set_start_frame(node, 0);
        animnode_set_frame(node, i % (int32_t)animnode_length(node));
        nodes.push_back(node);
    }
    return nodes;
}

// The main thread's share is its processor time over the clock time of the timed frames: the
// rest of a frame is spent waiting on the rasteriser's threads.
bool run(int n, double *frame_ms, double *pose_ms, double *draw_ms, double *main_share) {
    gfx_reset_scene();
    std::vector<SceneObject *> nodes = place_figures(n);
    if ((int)nodes.size() != n) return false;
    const float side = std::ceil(std::sqrt((float)n)) * 2.0f;
    const Vec3 eye = {0, side * 0.6f, -side * 0.6f}, target = {0, 1, side * 0.4f}, up = {0, 1, 0};
    view_set_look_at(0, &eye, &target, &up);
    RenderView *v = rtview_create(0, WIDTH, HEIGHT, "bench");
    if (!v) return false;
    v->clear_color = 0xFF203040u;
    v->range_3d[0] = v->range_3d[1] = NODE_DEFAULT_LAYER;

    double start = 0.0, start_cpu = 0.0, pose = 0.0;
    for (int frame = 0; frame < WARM_UP + FRAMES; ++frame) {
        if (frame == WARM_UP) {
            start = bench_clock_ms(CLOCK_MONOTONIC);
            start_cpu = bench_clock_ms(CLOCK_THREAD_CPUTIME_ID);
            bench_draw_ms = pose = 0.0;
        }
        SDL_PumpEvents();
        const double t = bench_clock_ms(CLOCK_THREAD_CPUTIME_ID);
        for (SceneObject *node : nodes) animnode_update(node, -1);
        pose += bench_clock_ms(CLOCK_THREAD_CPUTIME_ID) - t;
        SceneObject *shown = sprite2d_put_texture(0, v->texture, 0xFFFFFFFFu, WIDTH * 0.5f,
                                                  HEIGHT * 0.5f, 0.5f, 0.5f, 1, 1, SHOWN_LAYER);
        if (shown) sprite2d_set_blend(shown, 0);
        gfx_render_frame(0);
    }
    const double wall = bench_clock_ms(CLOCK_MONOTONIC) - start;
    *main_share = (bench_clock_ms(CLOCK_THREAD_CPUTIME_ID) - start_cpu) / wall;
    *frame_ms = wall / FRAMES;
    *pose_ms = pose / FRAMES;
    *draw_ms = bench_draw_ms / FRAMES;
    return true;
}

// The skinning palette needs the shader sets: they come from the source tree's shader folder.
void use_source_shaders(void) {
    for (ConfigEntry &row : cfg_get_config()->rows) {
        if (row.key[0] && std::strcmp(row.key, "SHPATH") != 0) continue;
        std::snprintf(row.key, sizeof row.key, "SHPATH");
        std::snprintf(row.value, sizeof row.value, "%s", TAVOK_SOURCE_DIR "/data/tks/");
        break;
    }
}

} // namespace

int main(int argc, char **argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) {
        const int n = std::atoi(argv[i]);
        if (n < 1 || n > 256) {
            fprintf(stderr, "usage: bench_animated [N ...] (N from 1 to 256)\n");
            return 1;
        }
        sizes.push_back(n);
    }
    if (sizes.empty()) sizes = {64, 256};
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return 1;
    SDL_Window *window = SDL_CreateWindow("animated nodes", 0, 0, WIDTH, HEIGHT, SDL_WINDOW_OPENGL);
    if (!window) return 1;
    use_source_shaders();
    gfx_init(window, 0, WIDTH, HEIGHT, 32, nullptr);
    if (!gfx_get_device() || !load_figure()) {
        fprintf(stderr, "bench_animated: no device or no sample figure\n");
        return 1;
    }
    ObjectKind *kind = &obj_kind_table()[animnode_kind_id()];
    bench_kind_draw = kind->draw;
    kind->draw = bench_timed_draw;

    int status = 0;
    printf("Animated \"By\" nodes playing \"mime\" through an %dx%d render view, %d frames\n",
           WIDTH, HEIGHT, FRAMES);
    for (int n : sizes) {
        double frame_ms = 0.0, pose_ms = 0.0, draw_ms = 0.0, share = 0.0;
        if (!run(n, &frame_ms, &pose_ms, &draw_ms, &share)) {
            fprintf(stderr, "N=%d: could not run\n", n);
            status = 1;
            continue;
        }
        printf("N=%3d  frame %.3f ms  pose %.3f ms  animnode_draw %.3f ms processor time  main "
               "thread %.1f%% of the clock\n",
               n, frame_ms, pose_ms, draw_ms, 100.0 * share);
        fflush(stdout);
    }
    kind->draw = bench_kind_draw;
    gfx_shutdown();
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
