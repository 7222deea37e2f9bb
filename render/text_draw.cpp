// The two text passes: the bitmap pass cuts glyphs from the built-in sheet, the outline pass
// draws glyphs from each outline font's atlas. Both draw screen-space quads through the shared
// quad index list and rewind their queue.
#include <cmath>
#include <cstring>

#include "platform/font/font.h"
#include "platform/gpu/gpu.h"
#include "render/font.h"
#include "render/gfx_device.h"
#include "render/gfx_quad.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/text_queue.h"

namespace {

constexpr int32_t FILTER_POINT = 0, FILTER_LINEAR = 1;
// Text placed this far off screen is not seen; keeping positions inside it keeps the pen
// arithmetic far from overflow.
constexpr float FAR_OFF_SCREEN = 16777216.0f;

int32_t pixel_position(float v) {
    if (!(v > -FAR_OFF_SCREEN)) return (int32_t)-FAR_OFF_SCREEN; // also NaN
    if (v > FAR_OFF_SCREEN) return (int32_t)FAR_OFF_SCREEN;
    return (int32_t)v; // truncated toward zero
}

// The queue's row ready to draw, with shader set 0 and the textured 2D states sent straight to
// the device; null (the queue rewound) when there is nothing to draw with.
const TextQueue *begin_text_pass(uint32_t enabled, GfxDevice *device, int32_t queue) {
    const TextQueue *q = text_queue_row(queue);
    if (!enabled || !device || !q || !q->buffer) {
        text_queue_rewind(queue);
        return nullptr;
    }
    quad_shader_bind(0, nullptr);
    quad_set_textured_states();
    return q;
}

// The states above went to the device directly: the next draw-state set sends everything.
void end_text_pass(GfxDevice *device, int32_t queue) {
    tex_bind(device, 0, nullptr, FILTER_LINEAR);
    gfx_reset_state_cache();
    text_queue_rewind(queue);
}

// Stage-0 filters straight to the device; the sampler cache of the stage is made unknown first
// (an empty bind), so the next texture bind sends its own settings again.
void set_stage0_filter(GfxDevice *device, int32_t filter) {
    tex_bind(device, 0, nullptr, FILTER_LINEAR);
    const uint32_t code = gfx_filter_code(filter);
    gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, code);
    gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, code);
}

// Glyph numbers of a command's text: single bytes count from the first code, a byte with the
// top bit set leads a double-byte character. A lead byte with no trail byte left is dropped.
// Returns the glyph count, or -1 when there are more than `limit`.
int32_t bitmap_glyphs(const uint8_t *text, uint32_t length, int32_t *out, int32_t limit) {
    int32_t n = 0;
    for (uint32_t i = 0; i < length;) {
        int32_t glyph;
        const uint8_t b = text[i];
        if (b & 0x80) {
            if (i + 1 >= length) break;
            glyph = ((int32_t)b - 130) * 256 + (int32_t)text[i + 1] - 158 + (128 - 32);
            i += 2;
        } else {
            glyph = (int32_t)b - 32;
            ++i;
        }
        if (n >= limit) return -1;
        out[n++] = glyph;
    }
    return n;
}

} // namespace

void text_draw_bitmap(uint32_t enabled, GfxDevice *device, int32_t queue) {
    const TextQueue *q = begin_text_pass(enabled, device, queue);
    if (!q) return;
    set_stage0_filter(device, FILTER_POINT);
    const FontAtlasSet *atlases = font_atlas_set();
    ScreenVertex *vertices = gfx_text_vertices();
    int32_t last_filter = FILTER_POINT;
    const TextureHandle *last_texture = nullptr;
    static int32_t glyphs[FONT_BITMAP_MAX_GLYPHS];

    const uint8_t *cursor = nullptr;
    while (const TextCommand *c = text_queue_next(q, &cursor)) {
        const FontDesc *desc = font_desc(c->font);
        if (!desc) continue; // no such font
        const FontAtlasFont &a = atlases->fonts[c->font];
        const TextureHandle *texture = res_get_texture(atlases->textures[c->font]);
        if (!texture || !texture->texture) continue;

        const uint8_t *text = reinterpret_cast<const uint8_t *>(text_command_text(c));
        const int32_t n = bitmap_glyphs(text, c->length, glyphs, FONT_BITMAP_MAX_GLYPHS);
        if (n < 0) break; // too long: the rest of the queue is not drawn

        const float h = (float)c->height * desc->size * a.inv_size;
        const float adv = h * desc->advance_ratio;
        const float len = (float)c->length;
        float x = (float)c->x - 0.5f;
        if (c->align & TEXT_ALIGN_RIGHT)
            x -= adv * len;
        else if (c->align & TEXT_ALIGN_CENTRE_X)
            x -= adv * 0.5f * len;
        float y = (float)c->y - 0.5f;
        if (c->align & TEXT_ALIGN_BOTTOM)
            y -= h;
        else if (c->align & TEXT_ALIGN_CENTRE_Y)
            y -= h * 0.5f;

        const float cell_u = desc->cell_width * a.inv_width;
        const float cell_v = desc->cell_height * a.inv_height;
        for (int32_t i = 0; i < n; ++i) {
            const int32_t column = glyphs[i] & (int32_t)a.mask;
            const int32_t row = glyphs[i] >> a.shift;
            const float u0 = ((float)column * desc->cell_width + desc->offset_x) * a.inv_width;
            const float v0 = ((float)row * desc->cell_height + desc->offset_y) * a.inv_height;
            quad_write_rect(&vertices[i * 4], x, y, x + adv, y + h, u0, v0, u0 + cell_u,
                            v0 + cell_v, c->color);
            x += adv;
        }

        if (desc->filter != last_filter) {
            set_stage0_filter(device, desc->filter);
            last_filter = desc->filter;
            last_texture = nullptr;
        }
        if (texture != last_texture) {
            tex_bind(device, 0, texture, FILTER_LINEAR);
            last_texture = texture;
        }
        quad_draw_screen(n);
    }
    end_text_pass(device, queue);
}

void text_draw_outline(uint32_t enabled, GfxDevice *device, int32_t queue) {
    const TextQueue *q = begin_text_pass(enabled, device, queue);
    if (!q) return;
    const OutlineFontSet *set = font_outline_set();
    ScreenVertex *vertices = gfx_text_vertices();
    uint32_t codes[FONT_OUTLINE_MAX_TEXT];
    char text[FONT_OUTLINE_MAX_TEXT + 1];

    const uint8_t *cursor = nullptr;
    while (const TextCommand *c = text_queue_next(q, &cursor)) {
        const FontDesc *desc = font_desc(c->font);
        if (!desc) continue;
        OutlineFont *font = set->fonts[c->font];
        if (!font) continue; // a font that could not be made draws nothing

        const uint32_t length = c->length < (uint32_t)FONT_OUTLINE_MAX_TEXT
                                    ? c->length
                                    : (uint32_t)FONT_OUTLINE_MAX_TEXT;
        memcpy(text, text_command_text(c), length);
        text[length] = 0;
        const size_t count = font_cp932_to_utf32(text, strlen(text), codes, FONT_OUTLINE_MAX_TEXT);

        const float size = desc->size, half = size * 0.5f;
        const float len = (float)c->length;
        float dx = 0.0f, dy = 0.0f;
        if (c->align & TEXT_ALIGN_RIGHT)
            dx = -half * len;
        else if (c->align & TEXT_ALIGN_CENTRE_X)
            dx = -half * 0.5f * len;
        if (c->align & TEXT_ALIGN_BOTTOM)
            dy = -size;
        else if (c->align & TEXT_ALIGN_CENTRE_Y)
            dy = -size * 0.5f;
        // The text's rectangle starts here; nothing is clipped to it.
        const int32_t left = pixel_position((float)c->x - 0.5f + dx);
        const int32_t top = pixel_position((float)c->y - 0.5f + dy);

        const TextureHandle *atlas = &font->atlas;
        tex_bind(device, 0, atlas, FILTER_POINT);
        const float inv_w = 1.0f / (float)atlas->width, inv_h = 1.0f / (float)atlas->height;
        int32_t pen_x = left, line_top = top, quads = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t cp = codes[i];
            if (cp == '\r') continue;
            if (cp == '\n') {
                pen_x = left;
                line_top += font->line_height;
                continue;
            }
            bool full = false;
            const OutlineGlyph *g = font_outline_glyph(font, cp, &full);
            if (!g && full) {
                // Draw what uses the atlas now, then start it over.
                quad_draw_screen(quads);
                quads = 0;
                font_outline_clear(font);
                g = font_outline_glyph(font, cp, &full);
            }
            if (!g) continue;
            if (g->width > 0 && g->height > 0) {
                const float x0 = (float)(pen_x + g->bearing_x) - 0.5f;
                const float y0 = (float)(line_top + font->ascender - g->bearing_y) - 0.5f;
                quad_write_rect(&vertices[quads * 4], x0, y0, x0 + g->width, y0 + g->height,
                                g->atlas_x * inv_w, g->atlas_y * inv_h,
                                (g->atlas_x + g->width) * inv_w, (g->atlas_y + g->height) * inv_h,
                                c->color);
                ++quads;
            }
            pen_x += g->advance;
        }
        quad_draw_screen(quads);
    }
    end_text_pass(device, queue);
}
