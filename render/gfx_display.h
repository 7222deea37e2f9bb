// The renderer's display record: window, client, render and screen sizes and the text-queue
// ids. The start-up chain fills it; everything else reads it through the accessors.
#pragma once
#include <cstdint>

struct SDL_Window;

struct DisplayRecord {
    SDL_Window *window;
    uint32_t reserved;
    int32_t client_width, client_height;
    int32_t bits_per_pixel;
    int32_t render_width, render_height; // size of the layer target
    int32_t screen_width, screen_height; // the 2D layout size
    int32_t orientation;
    int32_t outline_queue, bitmap_queue;
    uint32_t scene_drawing;
    uint32_t clear_color; // 24-bit RGB
    int32_t current_view;
    int32_t aux_camera;
};

DisplayRecord *gfx_display(void);

int32_t gfx_get_screen_width(void);
int32_t gfx_get_screen_height(void);
int32_t gfx_get_render_width(void);
int32_t gfx_get_render_height(void);
int32_t gfx_get_client_width(void);
int32_t gfx_get_client_height(void);
int32_t gfx_get_outline_text_queue(void);
int32_t gfx_get_bitmap_text_queue(void);
void gfx_set_clear_color(uint32_t rgb);
uint32_t gfx_get_clear_color(void);

// Frame pass and layer target (the frame-pass module).
void gfx_draw_scene(void);
void gfx_create_layer_target(void);
void gfx_release_layer_target(void);
