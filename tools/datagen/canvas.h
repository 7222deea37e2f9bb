// A small RGBA drawing surface for the data-set generator: anti-aliased shapes from signed
// distances, gradients, outlined text rendered with FreeType, and PNG encoding.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A straight (not premultiplied) colour, channels 0..1.
struct Rgba {
    float r, g, b, a;
};

// 0xRRGGBB with an alpha.
Rgba rgb(uint32_t hex, float alpha = 1.0f);
Rgba rgba_mix(Rgba a, Rgba b, float t);
Rgba rgba_shade(Rgba c, float factor); // scales r, g, b

// Pixels are premultiplied RGBA floats, top row first; (x + 0.5, y + 0.5) is a pixel centre.
struct Canvas {
    int w = 0, h = 0;
    std::vector<float> px;
};

Canvas cv_make(int w, int h);
// Composites colour c over pixel (x, y) with the given coverage (0..1).
void cv_blend(Canvas &cv, int x, int y, Rgba c, float coverage);

void cv_fill(Canvas &cv, Rgba c); // replaces every pixel
void cv_rect(Canvas &cv, float x0, float y0, float x1, float y1, Rgba c);
// Vertical gradient from c0 at y0 to c1 at y1 over the rectangle.
void cv_vgradient(Canvas &cv, float x0, float y0, float x1, float y1, Rgba c0, Rgba c1);
void cv_circle(Canvas &cv, float cx, float cy, float r, Rgba c);
void cv_ellipse(Canvas &cv, float cx, float cy, float rx, float ry, Rgba c);
// A line with round ends, radius r.
void cv_capsule(Canvas &cv, float x0, float y0, float x1, float y1, float r, Rgba c);
void cv_round_rect(Canvas &cv, float x0, float y0, float x1, float y1, float radius, Rgba c);
// Filled polygon (even-odd), anti-aliased along its edges; xy holds x, y pairs.
void cv_polygon(Canvas &cv, const std::vector<float> &xy, Rgba c);
// A star of n points between the inner and outer radius, first point straight up.
void cv_star(Canvas &cv, float cx, float cy, float r_out, float r_in, int n, Rgba c);
// An arc of the circle (angles in radians, 0 = right, growing clockwise since y points down).
void cv_arc(Canvas &cv, float cx, float cy, float r, float a0, float a1, float width, Rgba c);

// Copies src into dst at (x, y) (replacing), then repeats its border pixels `extrude` pixels
// outward so linear filtering at a crop's edge samples the crop's own colour.
void cv_blit(Canvas &dst, const Canvas &src, int x, int y, int extrude = 0);
// Composites src over dst at (x, y), scaled by s with bilinear sampling.
void cv_draw_scaled(Canvas &dst, const Canvas &src, float x, float y, float s);
// Grey and darken a region: each pixel's luminance, times `bright`, tinted toward `tint`.
void cv_desaturate(Canvas &cv, Rgba tint, float bright);

enum TextAlign { TEXT_LEFT, TEXT_CENTRE, TEXT_RIGHT };

struct TextStyle {
    float size; // em size in pixels (the largest used when fitting)
    Rgba fill;
    Rgba outline; // drawn around the glyphs when outline_width > 0
    float outline_width;
    float bold; // extra stroke in the fill colour, pixels
};

// Draws one line of ASCII text with its vertical centre at y; x is the left, centre or right
// end by align. When max_width > 0 the size shrinks until the line fits. Returns the width.
float cv_text(Canvas &cv, const std::string &text, float x, float y, TextAlign align,
              const TextStyle &style, float max_width = 0.0f);
// False when no outline font could be opened (text is then left out).
bool cv_text_ready(void);

// PNG encoding of the canvas (straight alpha, 8 bits a channel).
std::vector<uint8_t> cv_png(const Canvas &cv);
