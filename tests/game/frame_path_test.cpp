// The game played twice from the same seed, once with layers 10-39 drawn straight into the back
// buffer and once through the layer target: title, selection, chase, catch, finish, picture
// viewer and debug menu present the same window in every frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "app/input.h"
#include "game/actors.h"
#include "game/debug_menu.h"
#include "game/game_scene.h"
#include "game_test_env.h"
#include "platform/gpu/gpu.h"
#include "platform/sys/sys_rand.h"
#include "render/gfx_frame.h"
#include "scene/object_manager.h"

namespace {

struct Recording {
    std::vector<uint64_t> frames; // a hash of each presented window
    int direct = 0, through_target = 0;
};

Recording *g_rec;

// FNV-1a over the window's colour bytes as the present left them.
uint64_t window_hash(void) {
    int w = 0, h = 0;
    gpu_debug_window_size(&w, &h);
    uint64_t hash = 1469598103934665603ull;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t argb = 0;
            gpu_debug_window_pixel(x, y, &argb);
            for (int k = 0; k < 24; k += 8) hash = (hash ^ ((argb >> k) & 0xFF)) * 1099511628211ull;
        }
    return hash;
}

void record(void) {
    g_rec->frames.push_back(window_hash());
    g_rec->direct += gfx_last_frame_path() == GFX_PATH_DIRECT;
    g_rec->through_target += gfx_last_frame_path() == GFX_PATH_LAYER_TARGET;
}

void hold(std::initializer_list<int> keys, int n) {
    for (int i = 0; i < n; ++i) {
        game_test_keys(keys);
        game_test_frame();
        record();
    }
}

void press(std::initializer_list<int> keys) {
    hold({}, 1);
    hold(keys, 1);
}

GameSceneRecord &game() {
    return *game_scene_record();
}

// The whole run; a failed step ends it early (the two recordings then differ in length).
void play(void) {
    sys_srand(1);
    game_test_remove_save();
    obj_reset_all();
    game_scene_init();
    hold({}, 2); // the title
    hold({'Z'}, 1);
    hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_SELECT);
    hold({VK_RIGHT}, 3);
    hold({VK_LEFT}, 3);
    game().selected = 0;
    press({'Z'});
    hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_PLAY);

    // The count-in, part of the chase after the target, then the target stopped for the catch.
    hold({'Z', VK_RIGHT, VK_DOWN}, 180);
    for (int i = 0; i < 200; ++i) {
        game_test_chase_keys();
        game_test_frame();
        record();
    }
    TargetActorData *d = board_data();
    ASSERT_NE(d, nullptr);
    d->state = BOARD_RUN;
    d->hits = 0;
    hold({}, 3);
    ASSERT_EQ(d->state, BOARD_CATCH);
    for (int i = 0; i < 25 && d->state == BOARD_CATCH; ++i) press({'Z'});
    ASSERT_EQ(d->state, BOARD_FINISH);
    for (int i = 0; i < 700 && game().phase == GAME_PHASE_PLAY; ++i) hold({}, 1);
    hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_PICTURE);

    // The picture viewer: pan, zoom and turn, then back to the selection.
    hold({'X', VK_LEFT, VK_DOWN}, 10);
    hold({VK_UP, VK_RIGHT}, 40);
    press({'Z'});
    hold({}, 2);
    game_scene_exit();

    // The debug menu's list, the selection moved down and up.
    game_debug_menu_init();
    for (int key : {0, VK_DOWN, 0, VK_DOWN, 0, VK_UP, 0}) {
        game_test_keys({key});
        game_debug_menu_update();
        gfx_render_frame(0);
        record();
    }
    game_debug_menu_exit();
}

Recording play_with(bool direct) {
    Recording r;
    g_rec = &r;
    gfx_allow_direct_layers(direct);
    gpu_debug_capture_window(true);
    play();
    gpu_debug_capture_window(false);
    gfx_allow_direct_layers(true);
    g_rec = nullptr;
    return r;
}

} // namespace

TEST(FramePath, ScriptedRunPresentsTheSameFramesDirectAndThroughTheLayerTarget) {
    ASSERT_TRUE(game_test_engine());
    const Recording direct = play_with(true);
    const Recording through = play_with(false);

    ASSERT_GT(direct.frames.size(), 1000u);
    ASSERT_EQ(direct.frames.size(), through.frames.size());
    // Nothing in the game samples the target or blends with its alpha: every frame goes direct.
    EXPECT_EQ(direct.direct, (int)direct.frames.size());
    EXPECT_EQ(through.through_target, (int)through.frames.size());
    int differing = 0, first = -1;
    for (size_t i = 0; i < direct.frames.size(); ++i)
        if (direct.frames[i] != through.frames[i]) {
            if (first < 0) first = (int)i;
            ++differing;
        }
    EXPECT_EQ(differing, 0) << "first at frame " << first;
    // The frames are pictures, not one repeated window.
    std::vector<uint64_t> distinct(direct.frames);
    std::sort(distinct.begin(), distinct.end());
    EXPECT_GT(std::unique(distinct.begin(), distinct.end()) - distinct.begin(), 100);
}
