// The debug menu scene: the listed entries, the keyboard selection and an entry run like a
// nested scene.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/input.h"
#include "game/debug_menu.h"
#include "game/game_scene.h"
#include "game_test_env.h"
#include "render/gfx_display.h"
#include "render/gfx_frame.h"
#include "render/text_queue.h"
#include "scene/object_manager.h"

namespace {

struct Queued {
    std::string text;
    int32_t x, y;
    uint32_t color;
};

// The commands waiting in the bitmap-font queue.
std::vector<Queued> queued_text(void) {
    std::vector<Queued> out;
    const uint8_t *p = text_queue_buffer(gfx_get_bitmap_text_queue());
    while (p && *p == TEXT_COMMAND_KIND) {
        const TextCommand *c = reinterpret_cast<const TextCommand *>(p);
        const char *text = reinterpret_cast<const char *>(p + sizeof(TextCommand));
        out.push_back({std::string(text, c->length), c->x, c->y, c->color});
        p += sizeof(TextCommand) + c->padded_length;
    }
    return out;
}

int g_inits, g_updates, g_exits, g_end_after;
void count_init(void *, int32_t size) {
    ++g_inits;
    EXPECT_EQ(size, DEBUG_MENU_WORK_SIZE);
}
uint32_t count_update(void *work, int32_t) {
    static_cast<uint8_t *>(work)[0]++;
    return ++g_updates >= g_end_after ? 1u : 0u;
}
void count_exit(void *, int32_t) {
    ++g_exits;
}

const DebugMenuEntry k_entries[] = {
    {"ONE", count_init, count_update, count_exit, nullptr},
    {"TWO", count_init, nullptr, nullptr, nullptr},
    {"THREE", count_init, count_update, nullptr, nullptr},
};

void step(std::initializer_list<int> keys) {
    game_test_keys(keys);
    game_debug_menu_update();
    gfx_render_frame(0);
}

class DebugMenu : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(game_test_engine());
        g_inits = g_updates = g_exits = 0;
        g_end_after = 3;
        game_debug_menu_init();
    }
    void TearDown() override { game_debug_menu_set_entries(nullptr, 0); }
};

} // namespace

TEST_F(DebugMenu, ListsTheEntriesAndKeepsOneEntrySelected) {
    text_queue_rewind(gfx_get_bitmap_text_queue());
    game_test_keys({VK_DOWN});
    game_debug_menu_update();
    const std::vector<Queued> q = queued_text();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].text, "DM");
    EXPECT_EQ(q[0].x, 100);
    EXPECT_EQ(q[0].y, 100);
    EXPECT_EQ(q[1].text, "GM");
    EXPECT_EQ(q[1].y, 132);
    EXPECT_EQ(q[1].color, 0xFFFF0000u);
    gfx_render_frame(0);
    EXPECT_EQ(game_debug_menu_mode()->selected, 0); // down from the only entry wraps to 0
    step({});
    step({VK_UP});
    EXPECT_EQ(game_debug_menu_mode()->selected, 0);
}

TEST_F(DebugMenu, EnterRunsAnEntryUntilItsUpdateEnds) {
    game_debug_menu_set_entries(k_entries, 3);
    step({VK_DOWN});
    EXPECT_EQ(game_debug_menu_mode()->selected, 1);
    // The list drawn with the second entry selected marks that one alone.
    text_queue_rewind(gfx_get_bitmap_text_queue());
    game_test_keys({});
    game_debug_menu_update();
    const std::vector<Queued> q = queued_text();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(q[1].color, 0xFFFFFFFFu);
    EXPECT_EQ(q[2].text, "TWO");
    EXPECT_EQ(q[2].y, 148);
    EXPECT_EQ(q[2].color, 0xFFFF0000u);
    EXPECT_EQ(q[3].color, 0xFFFFFFFFu);
    gfx_render_frame(0);
    step({VK_RETURN}); // "TWO" has no update: refused
    EXPECT_EQ(g_inits, 0);
    step({VK_DOWN});
    step({});
    step({VK_DOWN}); // past the last entry: back to 0
    EXPECT_EQ(game_debug_menu_mode()->selected, 0);
    step({});
    step({VK_RETURN});
    EXPECT_EQ(g_inits, 1);
    EXPECT_EQ(game_debug_menu_mode()->phase, 1u);
    obj_create(1);
    step({});
    step({});
    EXPECT_EQ(game_debug_menu_mode()->running, 1u);
    EXPECT_EQ(game_debug_menu_mode()->work[0], 2);
    EXPECT_GT(obj_get_live_count(), 0);
    step({}); // third update ends the entry
    EXPECT_EQ(g_exits, 1);
    EXPECT_EQ(game_debug_menu_mode()->phase, 0u);
    EXPECT_EQ(game_debug_menu_mode()->running, 0u);
    EXPECT_EQ(obj_get_live_count(), 0);
}

TEST_F(DebugMenu, TheGameEntryRunsTheGameSceneForGood) {
    step({VK_RETURN});
    ASSERT_EQ(game_debug_menu_mode()->phase, 1u);
    for (int i = 0; i < 30; ++i) step({});
    EXPECT_EQ(game_debug_menu_mode()->phase, 1u);
    EXPECT_EQ(game_scene_record()->phase, GAME_PHASE_TITLE);
    EXPECT_EQ(game_scene_record()->frame_counter, 30u);
    game_scene_exit();
}
