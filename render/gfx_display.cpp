#include "render/gfx_display.h"

static DisplayRecord s_display;

DisplayRecord *gfx_display(void) {
    return &s_display;
}

int32_t gfx_get_screen_width(void) {
    return s_display.screen_width;
}
int32_t gfx_get_screen_height(void) {
    return s_display.screen_height;
}
int32_t gfx_get_render_width(void) {
    return s_display.render_width;
}
int32_t gfx_get_render_height(void) {
    return s_display.render_height;
}
int32_t gfx_get_client_width(void) {
    return s_display.client_width;
}
int32_t gfx_get_client_height(void) {
    return s_display.client_height;
}
int32_t gfx_get_outline_text_queue(void) {
    return s_display.outline_queue;
}
int32_t gfx_get_bitmap_text_queue(void) {
    return s_display.bitmap_queue;
}
void gfx_set_clear_color(uint32_t rgb) {
    s_display.clear_color = rgb;
}
uint32_t gfx_get_clear_color(void) {
    return s_display.clear_color;
}
