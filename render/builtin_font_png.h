// The built-in bitmap font sheet: a PNG of 512 x 16 pixels, 64 cells of 8 x 16 for the
// characters 32-95 (cell n at x = 8n), white with the glyph coverage in alpha.
// The .cpp is written by tools/fontsheet.
#pragma once

extern const unsigned char builtin_font_png[];
extern const unsigned int builtin_font_png_size;
