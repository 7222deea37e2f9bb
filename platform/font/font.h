// Outline fonts: faces found by name through fontconfig, glyphs rasterised by FreeType
// into 8-bit coverage bitmaps, and code page 932 text turned into code points.
// No drawing here: callers build their own textures from the bitmaps.
#pragma once

#include <cstddef>
#include <cstdint>

struct FontFace; // one opened face at one size; use from one thread at a time

// Vertical metrics of the face at its current size, in whole pixels.
struct FontMetrics {
    int32_t ascender;    // baseline to the top of the tallest glyphs (positive)
    int32_t descender;   // baseline to the bottom of the lowest glyphs (positive, downwards)
    int32_t line_height; // baseline-to-baseline distance
    int32_t em_pixels;   // the em size in use
};

// One rasterised glyph. The coverage bytes belong to the face and stay valid until the
// next glyph is rasterised on it or the face is closed.
struct FontGlyph {
    int32_t width, height;   // bitmap size in pixels (0 x 0 for blank glyphs such as space)
    int32_t bearing_x;       // pen position to the bitmap's left edge
    int32_t bearing_y;       // baseline up to the bitmap's top row
    int32_t advance;         // pen step to the next glyph, whole pixels
    bool missing;            // the face has no glyph for the code point: its "not defined" glyph
    const uint8_t *coverage; // width x height bytes, top row first, 0 = empty, 255 = covered
};

// Opens a face by family name, given in code page 932 bytes (ASCII names pass as they are;
// trailing blanks and line ends, as a name file may carry, are ignored).
// When the name is null, empty or not installed, falls back to an installed Japanese-capable
// proportional sans face, then to any sans face, then to any face at all. Null when nothing
// can be opened. The face starts at an em size of 16 pixels.
FontFace *font_face_open(const char *name_cp932);
void font_face_close(FontFace *face);

// Family and file of the face actually opened (after any fallback).
const char *font_face_family(const FontFace *face);
const char *font_face_file(const FontFace *face);

// Sets the em size in pixels (1-1024). False when out of range or refused by the face.
bool font_face_set_pixel_height(FontFace *face, int32_t pixels);

// Sets the size so that the face's full character cell (the ascent plus descent of its
// OS/2 table, else of its horizontal header) is `pixels` tall.
bool font_face_set_cell_height(FontFace *face, int32_t pixels);

void font_face_metrics(const FontFace *face, FontMetrics *out);

// Rasterises one code point with antialiasing. False only when FreeType fails.
bool font_face_glyph(FontFace *face, uint32_t code_point, FontGlyph *out);

// Width in pixels of a run of code points: the sum of their whole-pixel advances.
// No kerning is applied, so the width equals the sum of the glyphs' advance fields.
int32_t font_face_measure(FontFace *face, const uint32_t *code_points, size_t count);

// Converts code page 932 text (single bytes and Shift-JIS double-byte characters) to code
// points. Reads at most `size` bytes and writes at most `out_cap` code points; returns how
// many were written. A byte that starts no valid character becomes U+FFFD and is skipped;
// a lead byte at the very end of the text is dropped without reading past it.
size_t font_cp932_to_utf32(const char *text, size_t size, uint32_t *out, size_t out_cap);
