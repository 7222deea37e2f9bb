// One minute of play (3600 frames) on random buttons from a fixed seed: no fault, and the
// memory in use at the end stays within 5% of what it was after the first second.
#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

#include "app/input.h"
#include "game/game_scene.h"
#include "game_test_env.h"
#include "platform/sys/sys_rand.h"
#include "scene/object_manager.h"

namespace {

long resident_bytes(void) {
    long pages = 0, resident = 0;
    FILE *f = std::fopen("/proc/self/statm", "r");
    if (!f) return 0;
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace

TEST(Soak, OneMinuteOfRandomButtons) {
    ASSERT_TRUE(game_test_engine());
    sys_srand(1);
    game_test_remove_save();
    game_test_write_save(10); // every entry and picture reachable
    obj_reset_all();
    game_scene_init();
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 16;
    };
    const int keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, 'Z', 'X'};
    uint32_t held = 0;
    long after_first_second = 0;
    int phases_seen = 0;
    for (int frame = 0; frame < 3600; ++frame) {
        if (next() % 4 == 0) held = next() & 0x3F; // a new set of buttons now and then
        uint8_t pressed[6];
        int n = 0;
        for (int k = 0; k < 6; ++k)
            if (held & (1u << k)) pressed[n++] = (uint8_t)keys[k];
        game_test_keys({n > 0 ? pressed[0] : 0, n > 1 ? pressed[1] : 0, n > 2 ? pressed[2] : 0,
                        n > 3 ? pressed[3] : 0, n > 4 ? pressed[4] : 0, n > 5 ? pressed[5] : 0});
        game_test_frame();
        phases_seen |= 1 << game_scene_record()->phase;
        if (frame == 59) after_first_second = resident_bytes();
    }
    const long at_end = resident_bytes();
    game_scene_exit();
    game_test_remove_save();
    std::printf("resident after 1 s: %ld KiB, after 60 s: %ld KiB; phases seen 0x%x\n",
                after_first_second / 1024, at_end / 1024, phases_seen);
    EXPECT_TRUE(phases_seen & (1 << GAME_PHASE_PLAY));
    EXPECT_TRUE(phases_seen & (1 << GAME_PHASE_PICTURE));
    EXPECT_LE(at_end, after_first_second + after_first_second / 20);
    EXPECT_GE(at_end, after_first_second - after_first_second / 20);
}
