#include "render/text_queue.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

TextQueue s_queues[TEXT_QUEUE_COUNT];

TextQueue *row(int32_t id) {
    if (id < 0 || id >= TEXT_QUEUE_COUNT) return nullptr;
    return &s_queues[id];
}

uint32_t padded_length(uint32_t length) {
    return (length & ~3u) + 4;
}

} // namespace

int32_t text_queue_alloc(uint32_t size) {
    if (size == 0) return -1; // no room even for the end mark stored at the start
    for (int32_t id = 0; id < TEXT_QUEUE_COUNT; ++id) {
        TextQueue &q = s_queues[id];
        if (q.buffer || q.capacity != 0) continue;
        uint8_t *buffer = static_cast<uint8_t *>(malloc(size));
        if (!buffer) return -1;
        q.index = id;
        q.in_use = 1;
        q.capacity = size;
        q.buffer = buffer;
        q.write = buffer;
        *q.write = TEXT_END_MARK;
        return id;
    }
    return -1;
}

void text_queue_free(int32_t id) {
    TextQueue *q = row(id);
    if (!q || !q->in_use || !q->buffer) return;
    free(q->buffer);
    q->buffer = nullptr;
    q->write = nullptr;
    q->capacity = 0;
    q->in_use = 0;
}

void text_queue_rewind(int32_t id) {
    TextQueue *q = row(id);
    if (!q || !q->buffer) return;
    q->write = q->buffer;
    *q->write = TEXT_END_MARK;
}

uint8_t *text_queue_buffer(int32_t id) {
    TextQueue *q = row(id);
    return q ? q->buffer : nullptr;
}

const TextQueue *text_queue_row(int32_t id) {
    return row(id);
}

void text_queue_table_clear(void) {
    memset(s_queues, 0, sizeof(s_queues));
}

void text_queue_free_all(void) {
    for (TextQueue &q : s_queues) free(q.buffer);
    // Cleared as well, so the rows can be allocated again and no pointer is left dangling.
    memset(s_queues, 0, sizeof(s_queues));
}

const TextCommand *text_queue_next(const TextQueue *queue, const uint8_t **cursor) {
    if (!queue || !queue->buffer || !cursor) return nullptr;
    const uint8_t *p = *cursor ? *cursor : queue->buffer;
    const uint8_t *end = queue->write;
    if (p < queue->buffer || p + TEXT_HEADER_BYTES > end) return nullptr;
    if (*p != TEXT_COMMAND_KIND) return nullptr;
    const TextCommand *c = reinterpret_cast<const TextCommand *>(p);
    if (c->padded_length != padded_length(c->length) ||
        c->padded_length > (uint32_t)(end - p) - TEXT_HEADER_BYTES)
        return nullptr;
    *cursor = p + TEXT_HEADER_BYTES + c->padded_length;
    return c;
}

void text_vappend(int32_t queue, uint32_t align, int32_t font, int32_t width, int32_t height,
                  int32_t x, int32_t y, uint32_t color, const char *format, va_list args) {
    TextQueue *q = row(queue);
    if (!q || !q->in_use || !q->buffer || !format) return;
    char text[TEXT_FORMAT_BYTES];
    const int n = vsnprintf(text, sizeof(text), format, args);
    if (n < 0) return;
    const uint32_t length = (uint32_t)strlen(text);
    const int64_t used = q->write - q->buffer;
    if (used + (int64_t)length + TEXT_HEADER_BYTES >= (int64_t)q->capacity - TEXT_CAPACITY_SLACK)
        return;

    TextCommand header;
    memset(&header, 0, sizeof(header));
    header.kind = TEXT_COMMAND_KIND;
    header.header_length = TEXT_HEADER_BYTES;
    header.font = font;
    header.color = color;
    header.align = align;
    header.width = width;
    header.height = height;
    header.x = x;
    header.y = y;
    header.length = length;
    header.padded_length = padded_length(length);
    uint8_t *p = q->write;
    memcpy(p, &header, sizeof(header));
    p += TEXT_HEADER_BYTES;
    memcpy(p, text, length);
    memset(p + length, 0, header.padded_length - length);
    q->write = p + header.padded_length;
    *q->write = TEXT_END_MARK;
}

void text_printf(int32_t queue, const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(queue, 0, 0, TEXT_DEFAULT_SIZE, TEXT_DEFAULT_SIZE, 0, 0, 0xFFFFFFFFu, format,
                 args);
    va_end(args);
}

void text_printf_at(int32_t queue, int32_t x, int32_t y, uint32_t color, const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(queue, 0, 0, TEXT_DEFAULT_SIZE, TEXT_DEFAULT_SIZE, x, y, color, format, args);
    va_end(args);
}

void text_printf_font(int32_t queue, int32_t font, int32_t x, int32_t y, uint32_t color,
                      const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(queue, 0, font, TEXT_DEFAULT_SIZE, TEXT_DEFAULT_SIZE, x, y, color, format, args);
    va_end(args);
}

void text_printf_styled(int32_t queue, uint32_t align, int32_t font, int32_t size, int32_t x,
                        int32_t y, uint32_t color, const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(queue, align, font, size, size, x, y, color, format, args);
    va_end(args);
}

void text_print0_color(int32_t x, int32_t y, uint32_t color, const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(0, 0, 0, TEXT_DEFAULT_SIZE, TEXT_DEFAULT_SIZE, x, y, color, format, args);
    va_end(args);
}

void text_print0(int32_t x, int32_t y, const char *format, ...) {
    va_list args;
    va_start(args, format);
    text_vappend(0, 0, 0, TEXT_DEFAULT_SIZE, TEXT_DEFAULT_SIZE, x, y, 0xFFFFFFFFu, format, args);
    va_end(args);
}
