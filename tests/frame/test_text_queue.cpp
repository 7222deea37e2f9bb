// Text queues: allocation, the command layout, the capacity rule, rewinding and bad ids.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "render/text_queue.h"

namespace {

// Queue rows are shared with the renderer started by other tests: save and restore them.
class TextQueueTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < TEXT_QUEUE_COUNT; ++i) saved[i] = *text_queue_row(i);
        text_queue_table_clear();
    }
    void TearDown() override {
        text_queue_free_all();
        TextQueue *rows = const_cast<TextQueue *>(text_queue_row(0));
        for (int i = 0; i < TEXT_QUEUE_COUNT; ++i) rows[i] = saved[i];
    }
    static uint32_t used(int32_t id) {
        const TextQueue *q = text_queue_row(id);
        return (uint32_t)(q->write - q->buffer);
    }
    TextQueue saved[TEXT_QUEUE_COUNT];
};

} // namespace

TEST_F(TextQueueTest, CommandsAreLaidOutAndPaddedToFourBytes) {
    const int32_t id = text_queue_alloc(1024);
    ASSERT_EQ(id, 0);
    text_printf_styled(id, TEXT_ALIGN_RIGHT | TEXT_ALIGN_BOTTOM, 2, 24, -5, 7, 0x80FF0000u, "%s%d",
                       "AB", 12);
    EXPECT_EQ(used(id), 48u); // 40 + 8 for four characters
    text_printf_at(id, 3, 4, 0xFF00FF00u, "abc");
    EXPECT_EQ(used(id), 48u + 44u); // 40 + 4 for three

    const uint8_t *buf = text_queue_buffer(id);
    TextCommand c;
    memcpy(&c, buf, sizeof(c));
    EXPECT_EQ(c.kind, 'H');
    EXPECT_EQ(c.header_length, 40);
    EXPECT_EQ(c.zero0 | c.zero1, 0);
    EXPECT_EQ(c.font, 2);
    EXPECT_EQ(c.color, 0x80FF0000u);
    EXPECT_EQ(c.align, 5u);
    EXPECT_EQ(c.width, 24);
    EXPECT_EQ(c.height, 24);
    EXPECT_EQ(c.x, -5);
    EXPECT_EQ(c.y, 7);
    EXPECT_EQ(c.length, 4u);
    EXPECT_EQ(c.padded_length, 8u);
    EXPECT_EQ(memcmp(buf + 40, "AB12\0\0\0\0", 8), 0);

    memcpy(&c, buf + 48, sizeof(c));
    EXPECT_EQ(c.font, 0); // the fixed fields of the short appenders
    EXPECT_EQ(c.width, 16);
    EXPECT_EQ(c.height, 16);
    EXPECT_EQ(c.align, 0u);
    EXPECT_EQ(memcmp(buf + 88, "abc\0", 4), 0);
    EXPECT_EQ(buf[92], 'E');

    // The walk hands back both commands and stops at the end mark.
    const uint8_t *cursor = nullptr;
    const TextCommand *first = text_queue_next(text_queue_row(id), &cursor);
    const TextCommand *second = text_queue_next(text_queue_row(id), &cursor);
    ASSERT_TRUE(first && second);
    EXPECT_STREQ(text_command_text(second), "abc");
    EXPECT_EQ(text_queue_next(text_queue_row(id), &cursor), nullptr);
}

TEST_F(TextQueueTest, CapacityRuleDropsCommandsThatLeaveLessThanEightBytes) {
    const int32_t id = text_queue_alloc(16384);
    const std::string long_text(2044, 'x'); // 40 + 2048 bytes each
    for (int i = 0; i < 7; ++i) text_printf(id, "%s", long_text.c_str());
    text_printf(id, "%s", std::string(1640, 'y').c_str()); // 40 + 1644
    ASSERT_EQ(used(id), 16300u);

    text_printf(id, "%s", std::string(40, 'z').c_str()); // 16300 + 40 + 40 >= 16376
    EXPECT_EQ(used(id), 16300u);
    text_printf(id, "%s", std::string(35, 'z').c_str()); // 16375: still fits
    EXPECT_EQ(used(id), 16300u + 40u + 36u);
    EXPECT_EQ(text_queue_buffer(id)[used(id)], 'E');
}

TEST_F(TextQueueTest, FormattingKeepsAtMost2047Characters) {
    const int32_t id = text_queue_alloc(8192);
    text_printf(id, "%s", std::string(3000, 'q').c_str());
    TextCommand c;
    memcpy(&c, text_queue_buffer(id), sizeof(c));
    EXPECT_EQ(c.length, 2047u);
    EXPECT_EQ(c.padded_length, 2048u);
}

TEST_F(TextQueueTest, RewindLeavesOneEndMark) {
    const int32_t id = text_queue_alloc(256);
    text_printf(id, "hello");
    text_queue_rewind(id);
    EXPECT_EQ(used(id), 0u);
    EXPECT_EQ(text_queue_buffer(id)[0], 'E');
    const uint8_t *cursor = nullptr;
    EXPECT_EQ(text_queue_next(text_queue_row(id), &cursor), nullptr);
}

TEST_F(TextQueueTest, RowsRunOutAndFreeRowsComeBack) {
    // A queue of no bytes could not even hold its end mark: refused, and no row is taken.
    EXPECT_EQ(text_queue_alloc(0), -1);
    EXPECT_EQ(text_queue_row(0)->in_use, 0u);
    for (int i = 0; i < TEXT_QUEUE_COUNT; ++i) EXPECT_EQ(text_queue_alloc(64), i);
    EXPECT_EQ(text_queue_alloc(64), -1);
    text_queue_free(5);
    EXPECT_EQ(text_queue_row(5)->in_use, 0u);
    EXPECT_EQ(text_queue_buffer(5), nullptr);
    EXPECT_EQ(text_queue_alloc(64), 5);

    // Freeing everything clears the rows, so they are taken again from the first.
    text_queue_free_all();
    for (int i = 0; i < TEXT_QUEUE_COUNT; ++i) {
        EXPECT_EQ(text_queue_row(i)->buffer, nullptr);
        EXPECT_EQ(text_queue_row(i)->capacity, 0u);
    }
    EXPECT_EQ(text_queue_alloc(64), 0);
}

TEST_F(TextQueueTest, BadIdsAndIdleQueuesTakeNothing) {
    // -1 is what a failed allocation gives; none of these may touch a table row.
    text_printf(-1, "x");
    text_printf(TEXT_QUEUE_COUNT, "x");
    text_queue_rewind(-1);
    text_queue_free(99);
    EXPECT_EQ(text_queue_buffer(-1), nullptr);
    EXPECT_EQ(text_queue_row(TEXT_QUEUE_COUNT), nullptr);

    const int32_t id = text_queue_alloc(64);
    text_queue_free(id);
    text_printf(id, "dropped"); // not in use any more
    EXPECT_EQ(text_queue_row(id)->buffer, nullptr);

    // A queue too small for any command stays empty.
    const int32_t tiny = text_queue_alloc(16);
    text_printf(tiny, "a");
    EXPECT_EQ(used(tiny), 0u);
}

TEST_F(TextQueueTest, WalkStopsAtAHeaderThatRunsPastTheWritePointer) {
    const int32_t id = text_queue_alloc(256);
    text_printf(id, "abcdef");
    TextQueue *q = const_cast<TextQueue *>(text_queue_row(id));
    TextCommand *c = reinterpret_cast<TextCommand *>(q->buffer);
    c->length = 200; // claims more text than was stored
    const uint8_t *cursor = nullptr;
    EXPECT_EQ(text_queue_next(q, &cursor), nullptr);
}
