#include "render/font.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/font/font.h"
#include "platform/gpu/gpu.h"
#include "platform/sys/sys_file.h"
#include "render/builtin_font_png.h"
#include "render/gfx_display.h"
#include "resource/res_texture.h"

namespace {

const FontDesc DefaultFontTable[FONT_COUNT] = {
    {"char.png", 0, 0, 64, 32, 16.0f, 0.5f, 0.0f, 0.0f, 8.0f, 16.0f},
    {"char.png", 0, 0, 16, 32, 24.0f, 0.5f, 0.0f, 0.0f, 8.0f, 16.0f},
    {"char.png", 0, 0, 16, 32, 16.0f, 0.5f, 0.0f, 0.0f, 8.0f, 16.0f},
    {"char.png", 0, 0, 16, 32, 64.0f, 0.5f, 0.0f, 0.0f, 8.0f, 16.0f},
};

// The system's proportional Gothic face, by its code page 932 name.
const char DefaultFaceName[] = "\x82\x6C\x82\x72\x81\x40\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
const char FaceNameFile[] = "font.cf";
const char AtlasFolder[] = ".\\bin\\";
constexpr float ROW1_SIZE_PER_SCREEN_WIDTH = 0.03f;
constexpr int32_t FACE_NAME_MAX = 4096;
constexpr int32_t MIN_ATLAS_SIDE = 256, MAX_ATLAS_SIDE = 1024;
constexpr int32_t GLYPH_GAP = 1; // empty texels between packed glyphs

FontDesc s_table[FONT_COUNT];
FontAtlasSet s_atlases;
OutlineFontSet s_outline;
ResourceMark s_mark;
char s_path[64];

// The face name file read whole; null when there is none (the caller frees the result).
char *read_face_name(void) {
    FILE *f = sys_fopen(FaceNameFile, "rb");
    if (!f) return nullptr;
    char *name = nullptr;
    if (fseek(f, 0, SEEK_END) == 0) {
        const long size = ftell(f);
        if (size >= 0 && size <= FACE_NAME_MAX && fseek(f, 0, SEEK_SET) == 0) {
            name = static_cast<char *>(calloc((size_t)size + 1, 1));
            if (name && fread(name, 1, (size_t)size, f) != (size_t)size) {
                free(name);
                name = nullptr;
            }
        }
    }
    fclose(f);
    return name;
}

int32_t atlas_side_for(int32_t cell_height) {
    int32_t side = MIN_ATLAS_SIDE;
    while (side < cell_height * 16 && side < MAX_ATLAS_SIDE) side *= 2;
    return side;
}

// Fills a rectangle of the atlas with white texels of the given coverage (null: empty).
bool write_atlas(TextureHandle *atlas, int32_t x, int32_t y, int32_t w, int32_t h,
                 const uint8_t *coverage) {
    const GpuRect rect = {x, y, x + w, y + h};
    GpuLockedRect locked = {};
    if (!gpu_texture_lock(atlas->texture, 0, &rect, &locked) || !locked.bits) return false;
    for (int32_t row = 0; row < h; ++row) {
        uint32_t *dst = reinterpret_cast<uint32_t *>(static_cast<uint8_t *>(locked.bits) +
                                                     (ptrdiff_t)row * locked.pitch);
        for (int32_t col = 0; col < w; ++col) {
            const uint32_t a = coverage ? coverage[row * w + col] : 0u;
            dst[col] = a << 24 | 0x00FFFFFFu;
        }
    }
    gpu_texture_unlock(atlas->texture, 0);
    return true;
}

OutlineFont *create_outline_font(const char *face_name, float size) {
    const int32_t cell = (int32_t)size; // truncated, as the font height
    if (cell < 1) return nullptr;
    FontFace *face = font_face_open(face_name);
    if (!face) return nullptr;
    if (!font_face_set_cell_height(face, cell)) {
        font_face_close(face);
        return nullptr;
    }
    OutlineFont *font = static_cast<OutlineFont *>(calloc(1, sizeof(OutlineFont)));
    if (!font) {
        font_face_close(face);
        return nullptr;
    }
    font->face = face;
    font->cell_height = cell;
    FontMetrics m;
    font_face_metrics(face, &m);
    font->ascender = m.ascender;
    font->line_height = m.line_height > 0 ? m.line_height : cell;
    const int32_t side = atlas_side_for(cell);
    if (!tex_create(&font->atlas, GPU_FMT_A8R8G8B8, side, side) ||
        !write_atlas(&font->atlas, 0, 0, side, side, nullptr)) {
        tex_release(&font->atlas);
        font_face_close(face);
        free(font);
        return nullptr;
    }
    return font;
}

void release_outline_font(OutlineFont *font) {
    if (!font) return;
    tex_release(&font->atlas);
    font_face_close(font->face);
    free(font);
}

uint32_t glyph_slot(uint32_t code_point) {
    return (code_point * 2654435761u) >> 22 & (FONT_OUTLINE_GLYPH_SLOTS - 1);
}

} // namespace

FontDesc *font_desc(int32_t font) {
    if (font < 0 || font >= FONT_COUNT) return nullptr;
    return &s_table[font];
}

const FontAtlasSet *font_atlas_set(void) {
    return &s_atlases;
}

const OutlineFontSet *font_outline_set(void) {
    return &s_outline;
}

void font_init(void) {
    memcpy(s_table, DefaultFontTable, sizeof(s_table));
    res_mark(&s_mark);
    snprintf(s_path, sizeof(s_path), "%s", AtlasFolder);
    font_create_atlases();
    font_create_outline();
}

void font_shutdown(void) {
    if (s_mark.valid) res_release_to_mark(&s_mark);
    memset(&s_atlases, 0, sizeof(s_atlases));
    font_release_outline();
}

void font_create_atlases(void) {
    memset(&s_atlases, 0, sizeof(s_atlases));
    for (int32_t f = 0; f < FONT_COUNT; ++f) {
        const FontDesc &d = s_table[f];
        // The same group and name give every row the same texture.
        const ResourceHandle h = res_create_texture_from_memory("DFONT", "char", builtin_font_png,
                                                                builtin_font_png_size, 0);
        s_atlases.textures[f] = h;
        FontAtlasFont &a = s_atlases.fonts[f];
        const TextureHandle *t = res_get_texture(h);
        if (t && t->width && t->height) {
            a.inv_width = 1.0f / (float)t->width;
            a.inv_height = 1.0f / (float)t->height;
        }
        a.inv_size = d.size != 0.0f ? 1.0f / d.size : 0.0f;
        // Every row cuts its glyphs from the one built-in sheet, so the column count that
        // places them is the sheet's own; a row's smaller count would pick wrong cells.
        int32_t columns = d.columns;
        if (t && d.cell_width > 0.0f) {
            const int32_t sheet_columns = (int32_t)((float)t->width / d.cell_width);
            if (sheet_columns > 0) columns = sheet_columns;
        }
        int32_t shift = 1;
        for (int32_t n = columns - 1; (n >>= 1) != 0;) ++shift;
        a.shift = shift;
        a.mask = (1u << shift) - 1u;
        a.zero = 0;
    }
}

void font_create_outline(void) {
    font_release_outline();
    s_table[1].size = ROW1_SIZE_PER_SCREEN_WIDTH * (float)gfx_get_screen_width();
    char *name = read_face_name();
    for (int32_t f = 0; f < FONT_COUNT; ++f)
        s_outline.fonts[f] = create_outline_font(name ? name : DefaultFaceName, s_table[f].size);
    free(name);
}

void font_release_outline(void) {
    for (int32_t f = FONT_COUNT - 1; f >= 0; --f) {
        release_outline_font(s_outline.fonts[f]);
        s_outline.fonts[f] = nullptr;
    }
}

void font_outline_clear(OutlineFont *font) {
    if (!font) return;
    memset(font->glyphs, 0, sizeof(font->glyphs));
    font->glyph_count = 0;
    font->shelf_x = font->shelf_y = font->shelf_height = 0;
}

const OutlineGlyph *font_outline_glyph(OutlineFont *font, uint32_t code_point, bool *full) {
    if (full) *full = false;
    if (!font || code_point == 0xFFFFFFFFu) return nullptr;
    const uint32_t key = code_point + 1;
    uint32_t slot = glyph_slot(code_point);
    while (font->glyphs[slot].code != 0) {
        if (font->glyphs[slot].code == key) return &font->glyphs[slot];
        slot = (slot + 1) & (FONT_OUTLINE_GLYPH_SLOTS - 1);
    }
    // Keep the table at most three quarters full so probes stay short.
    if (font->glyph_count >= FONT_OUTLINE_GLYPH_SLOTS * 3 / 4) {
        if (full) *full = true;
        return nullptr;
    }
    FontGlyph g;
    if (!font_face_glyph(font->face, code_point, &g)) return nullptr;
    const int32_t side = font->atlas.width;
    if (g.width > side || g.height > side) return nullptr; // can never fit
    int32_t x = 0, y = 0;
    if (g.width > 0 && g.height > 0) {
        if (font->shelf_x + g.width > side) { // next shelf
            font->shelf_y += font->shelf_height + GLYPH_GAP;
            font->shelf_x = 0;
            font->shelf_height = 0;
        }
        if (font->shelf_y + g.height > side) {
            if (full) *full = true;
            return nullptr;
        }
        x = font->shelf_x;
        y = font->shelf_y;
        if (!write_atlas(&font->atlas, x, y, g.width, g.height, g.coverage)) return nullptr;
        font->shelf_x += g.width + GLYPH_GAP;
        if (g.height > font->shelf_height) font->shelf_height = g.height;
    }
    OutlineGlyph &out = font->glyphs[slot];
    out.code = key;
    out.atlas_x = (int16_t)x;
    out.atlas_y = (int16_t)y;
    out.width = (int16_t)g.width;
    out.height = (int16_t)g.height;
    out.bearing_x = (int16_t)g.bearing_x;
    out.bearing_y = (int16_t)g.bearing_y;
    out.advance = (int16_t)g.advance;
    ++font->glyph_count;
    return &out;
}
