// The stage file reader, the probes, the drawing window and the lane choice.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "game/asset_groups.h"
#include "game/stage_map.h"
#include "resource/loader.h"
#include "game_test_env.h"
#include "platform/sys/sys_rand.h"
#include "scene/object_manager.h"
#include "scene/sprite2d.h"

namespace {

void write_text(const char *path, const char *text, size_t n = 0) {
    FILE *f = std::fopen(path, "wb");
    std::fwrite(text, 1, n ? n : std::strlen(text), f);
    std::fclose(f);
}

// A map given cell by cell: rows of characters, '.' meaning 0.
void set_map(const std::vector<const char *> &rows) {
    StageMap *m = stage_get();
    std::memset(m, 0, sizeof *m);
    m->rows = (int32_t)rows.size();
    m->columns = rows.empty() ? 0 : (int32_t)std::strlen(rows[0]);
    for (int32_t r = 0; r < m->rows; ++r)
        for (int32_t c = 0; c < m->columns; ++c)
            m->cells[c * STAGE_MAX_ROWS + r] = rows[r][c] == '.' ? 0 : (uint8_t)(rows[r][c] - '0');
}

// Places the last probe-b result on (column, row) through a probe at that cell's centre.
void probe_cell(int32_t column, int32_t row) {
    stage_set_scroll(0.0f, 0.0f);
    stage_probe_b((float)(column * 64), (float)(row * 64 + 32), 0.0f);
    ASSERT_EQ(stage_get()->probes[1].column, column);
    ASSERT_EQ(stage_get()->probes[1].row, row);
}

} // namespace

class StageFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(game_test_engine()); }
    StageMap map{};
};

TEST_F(StageFile, BlanksAreSkippedLettersCountFromSeven) {
    write_text("stage.txt", "3 2\n1 2 A\r\nB0a  extra text\n");
    ASSERT_TRUE(stage_read_file(&map, "stage.txt"));
    EXPECT_EQ(map.columns, 3);
    EXPECT_EQ(map.rows, 2);
    EXPECT_EQ(map.cells[0 * 10 + 0], 1);
    EXPECT_EQ(map.cells[1 * 10 + 0], 2);
    EXPECT_EQ(map.cells[2 * 10 + 0], 10);
    EXPECT_EQ(map.cells[0 * 10 + 1], 11);
    EXPECT_EQ(map.cells[1 * 10 + 1], 0);
    EXPECT_EQ(map.cells[2 * 10 + 1], 42); // 'a': no tile
}

TEST_F(StageFile, CountsAreCutToTheGridAndHighBytesAreNoTiles) {
    std::string text = "2000 25\n";
    text += std::string(1500, '1') + "\n";
    text += std::string(1500, '\xFF') + "\n";
    for (int r = 2; r < 25; ++r) text += std::string(1500, '2') + "\n";
    write_text("big.txt", text.c_str(), text.size());
    ASSERT_TRUE(stage_read_file(&map, "big.txt"));
    EXPECT_EQ(map.columns, STAGE_MAX_COLUMNS);
    EXPECT_EQ(map.rows, STAGE_MAX_ROWS);
    EXPECT_EQ(map.cells[1024 * 10 + 0], 1);
    EXPECT_EQ(map.cells[1024 * 10 + 1], 0xFF - '7'); // read unsigned, beyond the tiles
    EXPECT_EQ(map.cells[5 * 10 + 9], 2);

    write_text("neg.txt", "-4 -9\n123\n");
    ASSERT_TRUE(stage_read_file(&map, "neg.txt"));
    EXPECT_EQ(map.columns, 0);
    EXPECT_EQ(map.rows, 0);

    // A short file ends the reading; what it did not fill stays 0.
    write_text("short.txt", "4 3\n1111\n22");
    ASSERT_TRUE(stage_read_file(&map, "short.txt"));
    EXPECT_EQ(map.cells[1 * 10 + 1], 2);
    EXPECT_EQ(map.cells[2 * 10 + 1], 0);

    EXPECT_FALSE(stage_read_file(&map, "missing.txt"));
    EXPECT_EQ(map.columns, 0);
    EXPECT_EQ(stage_file_size("short.txt"), 11);
    EXPECT_EQ(stage_file_size("missing.txt"), 0);
    EXPECT_EQ(stage_file_size("bin"), 0); // a folder has no size
}

TEST_F(StageFile, LoadReadsTheStageNumberPlusOneAndFindsTileCrops) {
    game_load_texture_group("bg", 0);
    while (loader_step() != 0) {
    }
    const char *rows[] = {"0123", "A9a0", "0000"};
    game_test_write_stage(6, rows, 3);
    stage_load(6);
    const StageMap *m = stage_get();
    EXPECT_EQ(m->stage_number, 6);
    EXPECT_EQ(m->columns, 4);
    EXPECT_EQ(m->rows, 3);
    EXPECT_NE(m->owner, 0u);
    EXPECT_EQ(m->cells[3 * 10 + 0], 3);
    EXPECT_NE(stage_tile(1)->crop, 0u); // "hardle" of "bg" once the group is loaded
    stage_unload();
}

TEST(StageProbe, OutsideTheMapOrOnNoTileGivesZero) {
    ASSERT_TRUE(game_test_engine());
    set_map({"1234", "5678", "9:;<"}); // row 2: 9, 10, 11, 12
    stage_set_scroll(0.0f, 0.0f);
    EXPECT_EQ(stage_probe_a(0.0f, 10.0f, 0.0f), 1);
    EXPECT_EQ(stage_probe_a(100.0f, 70.0f, 0.0f), 7); // column (100 + 32) / 64 = 2
    EXPECT_EQ(stage_probe_a(-40.0f, 10.0f, 0.0f), 1); // (-40 + 32) / 64 truncates to 0
    EXPECT_EQ(stage_probe_a(-100.0f, 10.0f, 0.0f), 0);
    EXPECT_EQ(stage_get()->probes[0].column, -1);
    EXPECT_EQ(stage_probe_a(250.0f, 10.0f, 0.0f), 0);  // column 4 is past the last
    EXPECT_EQ(stage_probe_a(192.0f, 140.0f, 0.0f), 0); // id 12 is no tile
    EXPECT_EQ(stage_probe_a(128.0f, 140.0f, 0.0f), 11);
    EXPECT_EQ(stage_probe_a(0.0f, 700.0f, 0.0f), 0); // below the grid
    EXPECT_EQ(stage_probe_a(0.0f, -70.0f, 0.0f), 0); // above it
    stage_set_scroll(130.0f, 0.0f);                  // scroll moves the probe by whole pixels
    EXPECT_EQ(stage_probe_b(0.0f, 10.0f, 0.0f), 3);
    EXPECT_EQ(stage_get()->probes[0].row, -1); // probe a keeps its own last result
}

TEST(StageDraw, EightRowsOfTheVisibleColumnsFromTheScroll) {
    ASSERT_TRUE(game_test_engine());
    stage_load(0); // the test data's 40 by 8 map
    stage_set_scroll(100.0f, 0.0f);
    stage_draw();
    static std::vector<float> xs, ys;
    static OwnerId owner;
    xs.clear(), ys.clear();
    owner = stage_get()->owner;
    obj_for_each([](SceneObject *o) {
        if (o->owner != owner) return;
        xs.push_back(sprite2d_get_x(o));
        ys.push_back(sprite2d_get_y(o));
    });
    // 800 / 64 + 4 = 16 columns from column 0 (c0 = 1, k = 0 is column 0) in 8 rows.
    EXPECT_EQ(xs.size(), 16u * 8u);
    float min_x = 1e9f, max_y = 0.0f;
    for (float x : xs) min_x = std::min(min_x, x);
    for (float y : ys) max_y = std::max(max_y, y);
    EXPECT_FLOAT_EQ(min_x, -164.0f);
    EXPECT_FLOAT_EQ(max_y, 512.0f);
    stage_unload();
    xs.clear();
    obj_for_each([](SceneObject *o) {
        if (o->owner == owner) xs.push_back(0.0f);
    });
    EXPECT_TRUE(xs.empty());
}

TEST(StageLane, StaysOnAFreeLaneOrMovesToTheMostFreeOne) {
    ASSERT_TRUE(game_test_engine());
    set_map({"......", "......", "......", "...1..", "......", "1.....", "......"});
    probe_cell(1, 2); // row 2 free for 4 columns ahead
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 2 * 64 + 32.0f);
    probe_cell(1, 3); // blocked after 2; rows 2, 4, 6 are fully free
    sys_srand(1);
    const float lane = stage_pick_lane(1);
    EXPECT_TRUE(lane == 2 * 64 + 32 || lane == 4 * 64 + 32 || lane == 5 * 64 + 32 ||
                lane == 6 * 64 + 32)
        << lane;
    probe_cell(1, 5); // behind: column 0 of row 5 is blocked, 1 free cell, neighbours free
    EXPECT_NE(stage_pick_lane(0), 5 * 64 + 32.0f);
}

TEST(StageLane, ANarrowGapBetweenBlockedLanesIsKept) {
    ASSERT_TRUE(game_test_engine());
    // Row 4 has 2 free cells, rows 3 and 5 none: kept, though rows 2 and 6 are freer.
    set_map({"......", "......", "......", ".1....", "...1..", ".1....", "......"});
    probe_cell(1, 4);
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 4 * 64 + 32.0f);
    // Row 4 blocked at once: the freest lane wins.
    set_map({"......", "......", "1.....", ".1....", ".1....", ".1....", ".1...."});
    probe_cell(1, 4);
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 2 * 64 + 32.0f);
}

TEST(StageLane, SmallMapsAndPointsOffTheLanesReadNoUncomputedCounts) {
    ASSERT_TRUE(game_test_engine());
    set_map({"....", "...."});
    probe_cell(1, 1);
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 1 * 64 + 32.0f); // fewer than 3 rows: stay
    set_map({});
    stage_get()->rows = 8;
    stage_set_scroll(0.0f, 0.0f);
    stage_probe_b(0.0f, 200.0f, 0.0f);
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 3 * 64 + 32.0f); // no column: stay
    // On row 0 (no lane) the choice goes to the freest lane: only row 3 is free.
    set_map({"....", "....", "1...", "....", "1..."});
    probe_cell(0, 0);
    EXPECT_FLOAT_EQ(stage_pick_lane(1), 3 * 64 + 32.0f);
}
