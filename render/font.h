// The two font sets of screen text: four bitmap fonts cut from the built-in glyph sheet, and
// four outline fonts rasterised from an installed face into a glyph atlas of their own. The
// text passes that draw the queues with them live here too.
#pragma once
#include <cstdint>

#include "render/gfx_texture.h"
#include "resource/res_pools.h"

struct GfxDevice;
struct FontFace;

enum : int32_t {
    FONT_COUNT = 4,
    FONT_BITMAP_MAX_GLYPHS = 1000,   // per command; a longer command ends the pass
    FONT_OUTLINE_MAX_TEXT = 519,     // bytes of a command's text the outline pass reads
    FONT_OUTLINE_GLYPH_SLOTS = 1024, // cached glyphs per outline font (power of two)
};

// One row of the font table (row = font number).
struct FontDesc {
    const char *atlas_file; // "char.png": names the sheet; the sheet itself is built in
    uint8_t reserved;
    uint8_t filter;     // 0 point, 1 linear
    uint8_t columns;    // glyph columns per sheet row
    uint8_t first_code; // character code of glyph 0
    float size;
    float advance_ratio; // advance = glyph height x this
    float offset_x, offset_y;
    float cell_width, cell_height;
};

struct FontAtlasFont {
    int32_t shift;  // column bits of a glyph number
    uint32_t mask;  // (1 << shift) - 1
    uint32_t zero;  // kept 0
    float inv_size; // 1 / size, taken when the sheet was made
    float inv_width, inv_height;
};

struct FontAtlasSet {
    ResourceHandle textures[FONT_COUNT];
    FontAtlasFont fonts[FONT_COUNT];
};

// A glyph of an outline font: where it sits in the atlas and how it is placed.
struct OutlineGlyph {
    uint32_t code; // code point + 1; 0 = empty slot
    int16_t atlas_x, atlas_y;
    int16_t width, height;
    int16_t bearing_x, bearing_y;
    int16_t advance;
};

// An outline font: a face at one cell height and the atlas its glyphs are rasterised into
// once, on first use, packed in shelves. A full atlas starts over empty.
struct OutlineFont {
    FontFace *face;
    int32_t cell_height;
    int32_t ascender, line_height;
    TextureHandle atlas; // A8R8G8B8, white with the coverage in alpha
    int32_t shelf_x, shelf_y, shelf_height;
    int32_t glyph_count;
    OutlineGlyph glyphs[FONT_OUTLINE_GLYPH_SLOTS];
};

struct OutlineFontSet {
    OutlineFont *fonts[FONT_COUNT]; // null when not created
};

FontDesc *font_desc(int32_t font); // null outside 0-3
const FontAtlasSet *font_atlas_set(void);
const OutlineFontSet *font_outline_set(void);

// Start: take the resource mark, make the sheets, make the outline fonts. Stop: release what
// was made since the mark and the outline fonts.
void font_init(void);
void font_shutdown(void);
void font_create_atlases(void);
// Also the device's lost and reset steps.
void font_create_outline(void);
void font_release_outline(void);

// The glyph of a code point in an outline font, rasterised into the atlas on first use. Null
// when it cannot be had: with *full set when the atlas or the glyph table has no room left
// (draw what uses the atlas, font_outline_clear, then ask again), else the face failed.
const OutlineGlyph *font_outline_glyph(OutlineFont *font, uint32_t code_point, bool *full);
// Empties the glyph table and the atlas shelves; the atlas texels are overwritten as new
// glyphs come in.
void font_outline_clear(OutlineFont *font);

// The text passes: draw every command of the queue with the font set, then rewind the queue.
// Not enabled: only the rewind.
void text_draw_bitmap(uint32_t enabled, GfxDevice *device, int32_t queue);
void text_draw_outline(uint32_t enabled, GfxDevice *device, int32_t queue);
