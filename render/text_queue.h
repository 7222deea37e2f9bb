// Text queues: screen text is never drawn where it is asked for. Callers append formatted text
// commands to a queue; once per frame the frame pass draws the queues (the bitmap-font pass and
// the outline-font pass) and rewinds them.
#pragma once
#include <cstdarg>
#include <cstdint>

enum : int32_t {
    TEXT_QUEUE_COUNT = 16,
    TEXT_FORMAT_BYTES = 2048, // formatted text keeps at most 2047 characters
    TEXT_HEADER_BYTES = 40,
    TEXT_CAPACITY_SLACK = 8, // a command must leave this much of the buffer free
    TEXT_DEFAULT_SIZE = 16,
    TEXT_FONT_COUNT = 4,
};

enum : uint8_t {
    TEXT_COMMAND_KIND = 'H',
    TEXT_END_MARK = 'E',
};

// Alignment flags of a command; 0 puts the text's top-left corner at (x, y).
enum : uint32_t {
    TEXT_ALIGN_RIGHT = 1,    // x is the right edge
    TEXT_ALIGN_CENTRE_X = 2, // centred horizontally on x
    TEXT_ALIGN_BOTTOM = 4,   // y is the bottom edge
    TEXT_ALIGN_CENTRE_Y = 8, // centred vertically on y
};

struct TextQueue {
    int32_t index; // the row's own number (the queue id)
    uint32_t in_use;
    uint32_t reserved;
    uint32_t capacity;
    uint8_t *buffer; // owned
    uint8_t *write;  // where the next command goes; an end mark is always stored there
};

// A command's header; the text follows it: the bytes, a 0, then 0 bytes up to padded_length.
struct TextCommand {
    uint8_t kind; // TEXT_COMMAND_KIND
    uint8_t zero0;
    uint8_t header_length; // 40
    uint8_t zero1;
    int32_t font; // 0-3
    uint32_t color;
    uint32_t align;
    int32_t width, height;
    int32_t x, y;
    uint32_t length;        // text bytes without the terminator
    uint32_t padded_length; // length rounded down to a multiple of 4, plus 4
};
static_assert(sizeof(TextCommand) == TEXT_HEADER_BYTES, "text command header is 40 bytes");

// Queues. Ids outside 0-15 (such as the -1 of a failed allocation) are ignored everywhere.
int32_t text_queue_alloc(uint32_t size); // -1 when no row is free or memory runs out
void text_queue_free(int32_t id);
void text_queue_rewind(int32_t id);
uint8_t *text_queue_buffer(int32_t id);
const TextQueue *text_queue_row(int32_t id); // null outside 0-15
void text_queue_table_clear(void);
void text_queue_free_all(void); // frees every buffer and clears the rows

// The next command of a queue walk starting at `cursor` (the buffer start for the first), or
// null at the end mark or where the stored commands would run past the write pointer.
const TextCommand *text_queue_next(const TextQueue *queue, const uint8_t **cursor);
inline const char *text_command_text(const TextCommand *c) {
    return reinterpret_cast<const char *>(c + 1);
}

// Appenders. A queue not in use takes nothing; a command that does not fit is dropped.
void text_vappend(int32_t queue, uint32_t align, int32_t font, int32_t width, int32_t height,
                  int32_t x, int32_t y, uint32_t color, const char *format, va_list args);
void text_printf(int32_t queue, const char *format, ...) __attribute__((format(printf, 2, 3)));
void text_printf_at(int32_t queue, int32_t x, int32_t y, uint32_t color, const char *format, ...)
    __attribute__((format(printf, 5, 6)));
void text_printf_font(int32_t queue, int32_t font, int32_t x, int32_t y, uint32_t color,
                      const char *format, ...) __attribute__((format(printf, 6, 7)));
void text_printf_styled(int32_t queue, uint32_t align, int32_t font, int32_t size, int32_t x,
                        int32_t y, uint32_t color, const char *format, ...)
    __attribute__((format(printf, 8, 9)));
void text_print0_color(int32_t x, int32_t y, uint32_t color, const char *format, ...)
    __attribute__((format(printf, 4, 5)));
void text_print0(int32_t x, int32_t y, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
