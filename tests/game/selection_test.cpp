// The title and the selection screen: cursor rules over the open entries, the faces and marks
// drawn for them, and the way into the chase and the picture viewer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/input.h"
#include "game/actors.h"
#include "game/game_scene.h"
#include "game/stage_map.h"
#include "game_test_env.h"
#include "render/gfx_frame.h"
#include "scene/object_manager.h"
#include "scene/sprite2d.h"

namespace {

GameSceneRecord &game() {
    return *game_scene_record();
}

// A fresh scene with the given save (none when open < 0), stepped to the selection.
void to_selection(int open) {
    game_test_remove_save();
    if (open >= 0) game_test_write_save((uint32_t)open);
    obj_reset_all();
    game_scene_init();
    game_test_hold({}, 2);
    ASSERT_EQ(game().phase, GAME_PHASE_TITLE);
    game_test_hold({'Z'}, 1);
    game_test_hold({}, 1);
    ASSERT_EQ(game().phase, GAME_PHASE_SELECT);
}

void leave_scene() {
    game_scene_exit();
    game_test_remove_save();
}

// Groups of the textures drawn this frame by the scene on a layer.
std::vector<std::string> drawn_groups(int layer) {
    static std::vector<std::string> groups;
    static int wanted;
    groups.clear();
    wanted = layer;
    game_test_keys({});
    game_scene_update();
    obj_for_each([](SceneObject *o) {
        if (o->owner != game_scene_record()->owner || o->layer != wanted) return;
        const char *g = res_texture_group(sprite2d_get_texture(o));
        groups.push_back(g ? g : "");
    });
    gfx_render_frame(0);
    return groups;
}

int count(const std::vector<std::string> &v, const char *s) {
    int n = 0;
    for (const std::string &x : v) n += x == s;
    return n;
}

} // namespace

class Selection : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(game_test_engine()); }
    void TearDown() override { leave_scene(); }
};

TEST_F(Selection, WithoutASaveOnlyEntryZeroIsReachable) {
    to_selection(-1);
    for (int key : {VK_RIGHT, VK_LEFT, VK_DOWN, VK_UP}) {
        game_test_press({key});
        EXPECT_EQ(game().selected, 0);
    }
    const std::vector<std::string> faces = drawn_groups(20);
    EXPECT_EQ(count(faces, "face"), 1);
    EXPECT_EQ(count(faces, "faceg"), 9);
    EXPECT_EQ(drawn_groups(19).size(), 0u);        // no completed marks
    EXPECT_EQ(count(drawn_groups(15), "moji"), 1); // the heading only
    game_test_press({'X'});                        // entry 0 has no picture yet
    EXPECT_EQ(game().phase, GAME_PHASE_SELECT);
}

TEST_F(Selection, AllOpenWrapsAroundTheGrid) {
    to_selection(10);
    EXPECT_EQ(count(drawn_groups(20), "face"), 10);
    EXPECT_EQ(count(drawn_groups(19), "player"), 10);
    EXPECT_EQ(count(drawn_groups(15), "moji"), 2); // heading and the all-open caption
    game_test_press({VK_LEFT});
    EXPECT_EQ(game().selected, 9);
    game_test_press({VK_RIGHT});
    EXPECT_EQ(game().selected, 0);
    game().selected = 7;
    game_test_press({VK_DOWN});
    EXPECT_EQ(game().selected, 2);
    game_test_press({VK_UP});
    EXPECT_EQ(game().selected, 7);
}

TEST_F(Selection, ClosedEntriesAreRefusedAndPicturesOnlyBelowTheOpenCount) {
    to_selection(3);
    for (int i = 0; i < 3; ++i) game_test_press({VK_RIGHT});
    EXPECT_EQ(game().selected, 3);
    game_test_press({VK_RIGHT}); // entry 4 is closed
    EXPECT_EQ(game().selected, 3);
    game_test_press({VK_DOWN}); // entry 8 too
    EXPECT_EQ(game().selected, 3);
    game_test_press({'X'}); // entry 3 is open but not yet won
    EXPECT_EQ(game().phase, GAME_PHASE_SELECT);
    game_test_press({VK_LEFT});
    game_test_press({'X'});
    EXPECT_EQ(game().phase, GAME_PHASE_PICTURE_START);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_PICTURE);
    EXPECT_EQ(game().selected, 2);
    game_test_press({'Z'});
    EXPECT_EQ(game().phase, GAME_PHASE_TO_SELECT);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_SELECT);
    EXPECT_EQ(game().selected, 0); // the selection starts again at entry 0
}

TEST_F(Selection, BothButtonsAtOnceOpenThePicture) {
    to_selection(3);
    game_test_press({VK_RIGHT});
    game_test_press({'Z', 'X'});
    EXPECT_EQ(game().phase, GAME_PHASE_PICTURE_START);
}

TEST_F(Selection, ButtonOneStartsTheChaseOfTheSelectedEntry) {
    to_selection(10);
    game_test_press({VK_DOWN});
    game_test_press({'Z'});
    EXPECT_EQ(game().phase, GAME_PHASE_CHASE_START);
    game_test_hold({}, 1);
    EXPECT_EQ(game().phase, GAME_PHASE_PLAY);
    EXPECT_EQ(game().time_left, GAME_PLAY_TIME);
    EXPECT_EQ(game().selected, 5);
    // Leaving the scene in the middle of a chase takes the actors and the stage with it.
    ASSERT_NE(board_object(), nullptr);
    ASSERT_NE(player_object(), nullptr);
    static OwnerId chase_owners[3];
    chase_owners[0] = board_object()->owner;
    chase_owners[1] = player_object()->owner;
    chase_owners[2] = stage_get()->owner;
    game_scene_exit();
    EXPECT_EQ(board_object(), nullptr);
    EXPECT_EQ(player_object(), nullptr);
    EXPECT_EQ(stage_get()->owner, 0u);
    static int left;
    left = 0;
    obj_for_each([](SceneObject *o) {
        for (OwnerId id : chase_owners) left += o->owner == id;
    });
    EXPECT_EQ(left, 0);
}
