// Drawing surface of the data-set generator.
#include "tools/datagen/canvas.h"

#include <png.h>

#include <algorithm>
#include <cmath>

#include "platform/font/font.h"

Rgba rgb(uint32_t hex, float alpha) {
    return Rgba{((hex >> 16) & 0xFF) / 255.0f, ((hex >> 8) & 0xFF) / 255.0f, (hex & 0xFF) / 255.0f,
                alpha};
}

Rgba rgba_mix(Rgba a, Rgba b, float t) {
    return Rgba{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
                a.a + (b.a - a.a) * t};
}

Rgba rgba_shade(Rgba c, float f) {
    return Rgba{std::min(c.r * f, 1.0f), std::min(c.g * f, 1.0f), std::min(c.b * f, 1.0f), c.a};
}

Canvas cv_make(int w, int h) {
    Canvas cv;
    cv.w = w;
    cv.h = h;
    cv.px.assign(static_cast<size_t>(w) * h * 4, 0.0f);
    return cv;
}

void cv_blend(Canvas &cv, int x, int y, Rgba c, float coverage) {
    if (x < 0 || y < 0 || x >= cv.w || y >= cv.h || coverage <= 0.0f) return;
    float a = c.a * std::min(coverage, 1.0f);
    float *p = &cv.px[(static_cast<size_t>(y) * cv.w + x) * 4];
    float k = 1.0f - a;
    p[0] = c.r * a + p[0] * k;
    p[1] = c.g * a + p[1] * k;
    p[2] = c.b * a + p[2] * k;
    p[3] = a + p[3] * k;
}

void cv_fill(Canvas &cv, Rgba c) {
    for (size_t i = 0; i < cv.px.size(); i += 4) {
        cv.px[i] = c.r * c.a;
        cv.px[i + 1] = c.g * c.a;
        cv.px[i + 2] = c.b * c.a;
        cv.px[i + 3] = c.a;
    }
}

static float length(float x, float y) {
    return std::sqrt(x * x + y * y);
}

static float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

// Fills the pixels of the box whose centres lie inside the shape; `sdf` gives the signed
// distance (negative inside) and a one-pixel ramp smooths the edge.
template <class F>
static void shape(Canvas &cv, float x0, float y0, float x1, float y1, Rgba c, F sdf) {
    int ix0 = std::max(0, static_cast<int>(std::floor(x0 - 1)));
    int iy0 = std::max(0, static_cast<int>(std::floor(y0 - 1)));
    int ix1 = std::min(cv.w - 1, static_cast<int>(std::ceil(x1 + 1)));
    int iy1 = std::min(cv.h - 1, static_cast<int>(std::ceil(y1 + 1)));
    for (int y = iy0; y <= iy1; ++y)
        for (int x = ix0; x <= ix1; ++x) {
            float cov = clamp01(0.5f - sdf(x + 0.5f, y + 0.5f));
            if (cov > 0.0f) cv_blend(cv, x, y, c, cov);
        }
}

void cv_rect(Canvas &cv, float x0, float y0, float x1, float y1, Rgba c) {
    shape(cv, x0, y0, x1, y1, c, [&](float x, float y) {
        return std::max(std::max(x0 - x, x - x1), std::max(y0 - y, y - y1));
    });
}

void cv_vgradient(Canvas &cv, float x0, float y0, float x1, float y1, Rgba c0, Rgba c1) {
    for (int y = std::max(0, static_cast<int>(y0)); y < std::min(cv.h, static_cast<int>(y1)); ++y) {
        Rgba c = rgba_mix(c0, c1, clamp01((y + 0.5f - y0) / std::max(1.0f, y1 - y0)));
        for (int x = std::max(0, static_cast<int>(x0)); x < std::min(cv.w, static_cast<int>(x1));
             ++x)
            cv_blend(cv, x, y, c, 1.0f);
    }
}

void cv_circle(Canvas &cv, float cx, float cy, float r, Rgba c) {
    shape(cv, cx - r, cy - r, cx + r, cy + r, c,
          [&](float x, float y) { return length(x - cx, y - cy) - r; });
}

void cv_ellipse(Canvas &cv, float cx, float cy, float rx, float ry, Rgba c) {
    float m = std::min(rx, ry);
    shape(cv, cx - rx, cy - ry, cx + rx, cy + ry, c,
          [&](float x, float y) { return (length((x - cx) / rx, (y - cy) / ry) - 1.0f) * m; });
}

static float segment_distance(float px, float py, float x0, float y0, float x1, float y1) {
    float dx = x1 - x0, dy = y1 - y0;
    float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? clamp01(((px - x0) * dx + (py - y0) * dy) / len2) : 0.0f;
    return length(px - (x0 + t * dx), py - (y0 + t * dy));
}

void cv_capsule(Canvas &cv, float x0, float y0, float x1, float y1, float r, Rgba c) {
    shape(cv, std::min(x0, x1) - r, std::min(y0, y1) - r, std::max(x0, x1) + r,
          std::max(y0, y1) + r, c,
          [&](float x, float y) { return segment_distance(x, y, x0, y0, x1, y1) - r; });
}

void cv_round_rect(Canvas &cv, float x0, float y0, float x1, float y1, float radius, Rgba c) {
    float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    float hx = (x1 - x0) * 0.5f - radius, hy = (y1 - y0) * 0.5f - radius;
    shape(cv, x0, y0, x1, y1, c, [&](float x, float y) {
        float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        float out = length(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return out + std::min(std::max(qx, qy), 0.0f) - radius;
    });
}

void cv_polygon(Canvas &cv, const std::vector<float> &xy, Rgba c) {
    size_t n = xy.size() / 2;
    if (n < 3) return;
    float x0 = xy[0], x1 = xy[0], y0 = xy[1], y1 = xy[1];
    for (size_t i = 0; i < n; ++i) {
        x0 = std::min(x0, xy[2 * i]);
        x1 = std::max(x1, xy[2 * i]);
        y0 = std::min(y0, xy[2 * i + 1]);
        y1 = std::max(y1, xy[2 * i + 1]);
    }
    shape(cv, x0, y0, x1, y1, c, [&](float px, float py) {
        float d = 1e9f;
        bool inside = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            float ax = xy[2 * j], ay = xy[2 * j + 1], bx = xy[2 * i], by = xy[2 * i + 1];
            d = std::min(d, segment_distance(px, py, ax, ay, bx, by));
            if ((ay > py) != (by > py) && px < (bx - ax) * (py - ay) / (by - ay) + ax)
                inside = !inside;
        }
        return inside ? -d : d;
    });
}

void cv_star(Canvas &cv, float cx, float cy, float r_out, float r_in, int n, Rgba c) {
    std::vector<float> xy;
    for (int i = 0; i < 2 * n; ++i) {
        float a = static_cast<float>(M_PI) * i / n - static_cast<float>(M_PI) / 2;
        float r = (i % 2) ? r_in : r_out;
        xy.push_back(cx + r * std::cos(a));
        xy.push_back(cy + r * std::sin(a));
    }
    cv_polygon(cv, xy, c);
}

void cv_arc(Canvas &cv, float cx, float cy, float r, float a0, float a1, float width, Rgba c) {
    int steps = std::max(4, static_cast<int>(std::fabs(a1 - a0) * r / 3));
    for (int i = 0; i < steps; ++i) {
        float t0 = a0 + (a1 - a0) * i / steps, t1 = a0 + (a1 - a0) * (i + 1) / steps;
        cv_capsule(cv, cx + r * std::cos(t0), cy + r * std::sin(t0), cx + r * std::cos(t1),
                   cy + r * std::sin(t1), width * 0.5f, c);
    }
}

void cv_blit(Canvas &dst, const Canvas &src, int x, int y, int extrude) {
    for (int dy = -extrude; dy < src.h + extrude; ++dy)
        for (int dx = -extrude; dx < src.w + extrude; ++dx) {
            int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= dst.w || ty >= dst.h) continue;
            int sx = std::clamp(dx, 0, src.w - 1), sy = std::clamp(dy, 0, src.h - 1);
            const float *s = &src.px[(static_cast<size_t>(sy) * src.w + sx) * 4];
            std::copy(s, s + 4, &dst.px[(static_cast<size_t>(ty) * dst.w + tx) * 4]);
        }
}

void cv_draw_scaled(Canvas &dst, const Canvas &src, float x, float y, float s) {
    int x0 = std::max(0, static_cast<int>(x)), y0 = std::max(0, static_cast<int>(y));
    int x1 = std::min(dst.w, static_cast<int>(std::ceil(x + src.w * s)));
    int y1 = std::min(dst.h, static_cast<int>(std::ceil(y + src.h * s)));
    for (int ty = y0; ty < y1; ++ty)
        for (int tx = x0; tx < x1; ++tx) {
            float u = (tx + 0.5f - x) / s - 0.5f, v = (ty + 0.5f - y) / s - 0.5f;
            int iu = static_cast<int>(std::floor(u)), iv = static_cast<int>(std::floor(v));
            float fu = u - iu, fv = v - iv;
            float acc[4] = {0, 0, 0, 0};
            for (int k = 0; k < 4; ++k) {
                int sx = iu + (k & 1), sy = iv + (k >> 1);
                if (sx < 0 || sy < 0 || sx >= src.w || sy >= src.h) continue;
                float wgt = ((k & 1) ? fu : 1 - fu) * ((k >> 1) ? fv : 1 - fv);
                const float *p = &src.px[(static_cast<size_t>(sy) * src.w + sx) * 4];
                for (int i = 0; i < 4; ++i) acc[i] += p[i] * wgt;
            }
            float *d = &dst.px[(static_cast<size_t>(ty) * dst.w + tx) * 4];
            float k = 1.0f - acc[3];
            for (int i = 0; i < 4; ++i) d[i] = acc[i] + d[i] * k;
        }
}

void cv_desaturate(Canvas &cv, Rgba tint, float bright) {
    for (size_t i = 0; i < cv.px.size(); i += 4) {
        float *p = &cv.px[i];
        float l = (0.3f * p[0] + 0.59f * p[1] + 0.11f * p[2]) * bright;
        p[0] = l * tint.r;
        p[1] = l * tint.g;
        p[2] = l * tint.b;
    }
}

// ---- text ----

static FontFace *text_face(void) {
    static FontFace *face = font_face_open("DejaVu Sans");
    return face;
}

bool cv_text_ready(void) {
    return text_face() != nullptr;
}

// Max of the mask over a disc of the radius (fractional radii blend the rim): every covered
// source pixel spreads its value over the disc around it.
static std::vector<float> dilate(const std::vector<float> &m, int w, int h, float radius) {
    if (radius <= 0.0f) return m;
    struct Tap {
        int dx, dy;
        float weight;
    };
    std::vector<Tap> disc;
    int r = static_cast<int>(std::ceil(radius));
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx) {
            float wgt = clamp01(radius + 0.5f - length(float(dx), float(dy)));
            if (wgt > 0.0f) disc.push_back({dx, dy, wgt});
        }
    std::vector<float> out(m.size(), 0.0f);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float v = m[static_cast<size_t>(y) * w + x];
            if (v <= 0.0f) continue;
            for (const Tap &t : disc) {
                int tx = x + t.dx, ty = y + t.dy;
                if (tx < 0 || ty < 0 || tx >= w || ty >= h) continue;
                float &o = out[static_cast<size_t>(ty) * w + tx];
                o = std::max(o, v * t.weight);
            }
        }
    return out;
}

static float measure(FontFace *face, const std::string &text) {
    std::vector<uint32_t> cps(text.begin(), text.end());
    return static_cast<float>(font_face_measure(face, cps.data(), cps.size()));
}

float cv_text(Canvas &cv, const std::string &text, float x, float y, TextAlign align,
              const TextStyle &style, float max_width) {
    FontFace *face = text_face();
    if (!face || text.empty()) return 0.0f;
    int size = std::max(4, static_cast<int>(style.size));
    font_face_set_pixel_height(face, size);
    float width = measure(face, text);
    while (max_width > 0.0f && width > max_width && size > 6) {
        size = size * 15 / 16;
        font_face_set_pixel_height(face, size);
        width = measure(face, text);
    }
    FontMetrics fm;
    font_face_metrics(face, &fm);
    float pad = std::ceil(style.outline_width + style.bold) + 2.0f;
    int mw = static_cast<int>(width + 2 * pad) + 2;
    int mh = fm.ascender + fm.descender + static_cast<int>(2 * pad) + 2;
    std::vector<float> mask(static_cast<size_t>(mw) * mh, 0.0f);
    int pen = static_cast<int>(pad);
    int baseline = static_cast<int>(pad) + fm.ascender;
    for (char ch : text) {
        FontGlyph g;
        if (!font_face_glyph(face, static_cast<uint8_t>(ch), &g)) continue;
        for (int gy = 0; gy < g.height; ++gy)
            for (int gx = 0; gx < g.width; ++gx) {
                int mx = pen + g.bearing_x + gx, my = baseline - g.bearing_y + gy;
                if (mx < 0 || my < 0 || mx >= mw || my >= mh) continue;
                float &m = mask[static_cast<size_t>(my) * mw + mx];
                m = std::max(m, g.coverage[static_cast<size_t>(gy) * g.width + gx] / 255.0f);
            }
        pen += g.advance;
    }
    std::vector<float> fill = dilate(mask, mw, mh, style.bold);
    float left = align == TEXT_LEFT ? x : (align == TEXT_CENTRE ? x - width * 0.5f : x - width);
    int ox = static_cast<int>(std::lround(left - pad));
    // Centre the ascent-to-descent band on y.
    int oy = static_cast<int>(std::lround(y - (fm.ascender + fm.descender) * 0.5f - pad));
    if (style.outline_width > 0.0f) {
        std::vector<float> outline = dilate(mask, mw, mh, style.bold + style.outline_width);
        for (int my = 0; my < mh; ++my)
            for (int mx = 0; mx < mw; ++mx)
                cv_blend(cv, ox + mx, oy + my, style.outline,
                         outline[static_cast<size_t>(my) * mw + mx]);
    }
    for (int my = 0; my < mh; ++my)
        for (int mx = 0; mx < mw; ++mx)
            cv_blend(cv, ox + mx, oy + my, style.fill, fill[static_cast<size_t>(my) * mw + mx]);
    return width;
}

// ---- PNG ----

static void png_to_vector(png_structp png, png_bytep data, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + n);
}

std::vector<uint8_t> cv_png(const Canvas &cv) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> row(static_cast<size_t>(cv.w) * 4);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, png_to_vector, nullptr);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, cv.w, cv.h, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < cv.h; ++y) {
        for (int x = 0; x < cv.w; ++x) {
            const float *p = &cv.px[(static_cast<size_t>(y) * cv.w + x) * 4];
            float a = clamp01(p[3]);
            for (int i = 0; i < 3; ++i) {
                float v = a > 0.0f ? clamp01(p[i] / a) : 0.0f;
                row[x * 4 + i] = static_cast<uint8_t>(std::lround(v * 255.0f));
            }
            row[x * 4 + 3] = static_cast<uint8_t>(std::lround(a * 255.0f));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}
