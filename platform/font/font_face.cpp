// Face lookup (fontconfig), sizing and glyph rasterising (FreeType).
#include "platform/font/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

struct FontFace {
    FT_Library library; // one per face, so faces on different threads share nothing
    FT_Face face;
    char family[128];
    char file[512];
    std::vector<uint8_t> coverage; // the last glyph's bitmap
};

namespace {

enum { FONT_DEFAULT_EM = 16, FONT_MAX_PIXELS = 1024, FONT_NAME_MAX = 256 };

// A face file and its index inside a collection.
struct FontCandidate {
    char file[512];
    int index;
    char family[128];
};

bool font_config_ready() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = FcInit() == FcTrue; });
    return ready;
}

bool font_candidate_from(FcPattern *match, FontCandidate *out) {
    FcChar8 *file = nullptr, *family = nullptr;
    int index = 0;
    if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch) return false;
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    snprintf(out->file, sizeof(out->file), "%s", reinterpret_cast<const char *>(file));
    out->index = index;
    out->family[0] = 0;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
        snprintf(out->family, sizeof(out->family), "%s", reinterpret_cast<const char *>(family));
    return true;
}

FcPattern *font_pattern(const char *family, const char *lang) {
    FcPattern *p = FcPatternCreate();
    if (!p) return nullptr;
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
    if (lang) FcPatternAddString(p, FC_LANG, reinterpret_cast<const FcChar8 *>(lang));
    FcPatternAddInteger(p, FC_WEIGHT, FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    return p;
}

// Family names compare without regard to ASCII case and blanks.
bool font_same_name(const char *a, const char *b) {
    for (;;) {
        while (*a == ' ') ++a;
        while (*b == ' ') ++b;
        char ca = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
        char cb = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
        if (ca != cb) return false;
        if (!ca) return true;
        ++a, ++b;
    }
}

// The installed face whose family is exactly `name` (any of its localised family names).
bool font_find_named(const char *name, FontCandidate *out) {
    FcPattern *p = font_pattern(name, nullptr);
    if (!p) return false;
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    if (!match) return false;
    bool found = false;
    FcChar8 *family = nullptr;
    for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
        if (font_same_name(reinterpret_cast<const char *>(family), name)) {
            found = font_candidate_from(match, out);
            break;
        }
    }
    FcPatternDestroy(match);
    return found;
}

// The best sans face that has kana, preferring proportional ones.
bool font_find_japanese(FontCandidate *out) {
    FcPattern *p = font_pattern("sans-serif", "ja");
    if (!p) return false;
    FcResult result;
    FcFontSet *set = FcFontSort(nullptr, p, FcFalse, nullptr, &result);
    FcPatternDestroy(p);
    if (!set) return false;
    bool found = false;
    for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < set->nfont && !found; ++i) {
            FcPattern *f = set->fonts[i];
            FcCharSet *chars = nullptr;
            if (FcPatternGetCharSet(f, FC_CHARSET, 0, &chars) != FcResultMatch ||
                !FcCharSetHasChar(chars, 0x3042))
                continue;
            int spacing = FC_PROPORTIONAL;
            FcPatternGetInteger(f, FC_SPACING, 0, &spacing);
            if (pass == 0 && spacing != FC_PROPORTIONAL) continue;
            found = font_candidate_from(f, out);
        }
    }
    FcFontSetDestroy(set);
    return found;
}

bool font_find_sans(FontCandidate *out) {
    FcPattern *p = font_pattern("sans-serif", nullptr);
    if (!p) return false;
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, p, &result);
    FcPatternDestroy(p);
    if (!match) return false;
    bool found = font_candidate_from(match, out);
    FcPatternDestroy(match);
    return found;
}

// Any face fontconfig knows, for systems without a sans family configured.
bool font_find_any(FontCandidate *out) {
    FcPattern *p = FcPatternCreate();
    FcObjectSet *os = FcObjectSetBuild(FC_FILE, FC_INDEX, FC_FAMILY, nullptr);
    FcFontSet *set = p && os ? FcFontList(nullptr, p, os) : nullptr;
    bool found = false;
    for (int i = 0; set && i < set->nfont && !found; ++i)
        found = font_candidate_from(set->fonts[i], out);
    if (set) FcFontSetDestroy(set);
    if (os) FcObjectSetDestroy(os);
    if (p) FcPatternDestroy(p);
    return found;
}

FontFace *font_open_candidate(const FontCandidate &c) {
    FontFace *f = new FontFace();
    if (FT_Init_FreeType(&f->library) != 0) {
        delete f;
        return nullptr;
    }
    if (FT_New_Face(f->library, c.file, c.index, &f->face) != 0 || !FT_IS_SCALABLE(f->face)) {
        if (f->face) FT_Done_Face(f->face);
        FT_Done_FreeType(f->library);
        delete f;
        return nullptr;
    }
    FT_Select_Charmap(f->face, FT_ENCODING_UNICODE);
    snprintf(f->file, sizeof(f->file), "%s", c.file);
    snprintf(f->family, sizeof(f->family), "%s",
             c.family[0] ? c.family : (f->face->family_name ? f->face->family_name : ""));
    if (!font_face_set_pixel_height(f, FONT_DEFAULT_EM)) {
        font_face_close(f);
        return nullptr;
    }
    return f;
}

// The face name as UTF-8 for fontconfig: code page 932 text converted, anything that
// does not convert dropped, trailing blanks and line ends cut.
void font_name_utf8(const char *name, char *out, size_t out_size) {
    uint32_t cps[FONT_NAME_MAX];
    size_t n = font_cp932_to_utf32(name, strnlen(name, FONT_NAME_MAX), cps, FONT_NAME_MAX);
    while (n > 0 && cps[n - 1] <= 0x20) --n;
    size_t o = 0;
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = cps[i];
        char enc[4];
        size_t len;
        if (c == 0xFFFD) continue;
        if (c < 0x80) {
            enc[0] = char(c), len = 1;
        } else if (c < 0x800) {
            enc[0] = char(0xC0 | (c >> 6)), enc[1] = char(0x80 | (c & 0x3F)), len = 2;
        } else {
            enc[0] = char(0xE0 | (c >> 12)), enc[1] = char(0x80 | ((c >> 6) & 0x3F));
            enc[2] = char(0x80 | (c & 0x3F)), len = 3;
        }
        if (o + len >= out_size) break;
        memcpy(out + o, enc, len);
        o += len;
    }
    out[o] = 0;
}

} // namespace

FontFace *font_face_open(const char *name_cp932) {
    if (!font_config_ready()) return nullptr;
    FontCandidate c;
    char name[FONT_NAME_MAX * 3 + 1] = "";
    if (name_cp932) font_name_utf8(name_cp932, name, sizeof(name));
    // Each step that finds a file which then will not open falls through to the next.
    if (name[0] && font_find_named(name, &c))
        if (FontFace *f = font_open_candidate(c)) return f;
    if (font_find_japanese(&c))
        if (FontFace *f = font_open_candidate(c)) return f;
    if (font_find_sans(&c))
        if (FontFace *f = font_open_candidate(c)) return f;
    if (font_find_any(&c))
        if (FontFace *f = font_open_candidate(c)) return f;
    return nullptr;
}

void font_face_close(FontFace *face) {
    if (!face) return;
    if (face->face) FT_Done_Face(face->face);
    FT_Done_FreeType(face->library);
    delete face;
}

const char *font_face_family(const FontFace *face) {
    return face ? face->family : "";
}
const char *font_face_file(const FontFace *face) {
    return face ? face->file : "";
}

bool font_face_set_pixel_height(FontFace *face, int32_t pixels) {
    if (!face || pixels < 1 || pixels > FONT_MAX_PIXELS) return false;
    return FT_Set_Pixel_Sizes(face->face, 0, FT_UInt(pixels)) == 0;
}

bool font_face_set_cell_height(FontFace *face, int32_t pixels) {
    if (!face || pixels < 1 || pixels > FONT_MAX_PIXELS) return false;
    FT_Face f = face->face;
    long cell = long(f->ascender) - long(f->descender);
    if (const TT_OS2 *os2 = static_cast<TT_OS2 *>(FT_Get_Sfnt_Table(f, FT_SFNT_OS2)))
        if (os2->usWinAscent + os2->usWinDescent > 0)
            cell = long(os2->usWinAscent) + long(os2->usWinDescent);
    if (cell <= 0 || f->units_per_EM == 0) return font_face_set_pixel_height(face, pixels);
    // The em in 26.6 pixels that makes the cell `pixels` tall.
    FT_F26Dot6 em = FT_F26Dot6((int64_t(pixels) * 64 * f->units_per_EM + cell / 2) / cell);
    if (em < 64) em = 64;
    return FT_Set_Char_Size(f, 0, em, 72, 72) == 0;
}

void font_face_metrics(const FontFace *face, FontMetrics *out) {
    if (!out) return;
    memset(out, 0, sizeof(*out));
    if (!face) return;
    const FT_Size_Metrics &m = face->face->size->metrics;
    out->ascender = int32_t((m.ascender + 32) >> 6);
    out->descender = int32_t((-m.descender + 32) >> 6);
    out->line_height = int32_t((m.height + 32) >> 6);
    out->em_pixels = int32_t(m.y_ppem);
}

bool font_face_glyph(FontFace *face, uint32_t code_point, FontGlyph *out) {
    if (!out) return false;
    memset(out, 0, sizeof(*out));
    if (!face) return false;
    FT_UInt index = FT_Get_Char_Index(face->face, code_point);
    out->missing = index == 0;
    // Outlines only: embedded bitmaps and colour glyphs would not give 8-bit coverage.
    if (FT_Load_Glyph(face->face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0 ||
        FT_Render_Glyph(face->face->glyph, FT_RENDER_MODE_NORMAL) != 0)
        return false;
    FT_GlyphSlot slot = face->face->glyph;
    const FT_Bitmap &bm = slot->bitmap;
    out->advance = int32_t((slot->advance.x + 32) >> 6);
    out->bearing_x = slot->bitmap_left;
    out->bearing_y = slot->bitmap_top;
    if (bm.width == 0 || bm.rows == 0) return true;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY && bm.pixel_mode != FT_PIXEL_MODE_MONO) return false;

    size_t w = bm.width, h = bm.rows;
    face->coverage.assign(w * h, 0);
    for (size_t y = 0; y < h; ++y) {
        // A negative pitch means the rows are stored bottom up.
        const uint8_t *row = bm.pitch >= 0 ? bm.buffer + y * size_t(bm.pitch)
                                           : bm.buffer + (h - 1 - y) * size_t(-bm.pitch);
        uint8_t *dst = face->coverage.data() + y * w;
        if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            uint32_t levels = bm.num_grays > 1 ? bm.num_grays - 1 : 255;
            for (size_t x = 0; x < w; ++x) dst[x] = uint8_t(row[x] * 255u / levels);
        } else {
            for (size_t x = 0; x < w; ++x) dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
        }
    }
    out->width = int32_t(w);
    out->height = int32_t(h);
    out->coverage = face->coverage.data();
    return true;
}

int32_t font_face_measure(FontFace *face, const uint32_t *code_points, size_t count) {
    if (!face || !code_points) return 0;
    int32_t width = 0;
    for (size_t i = 0; i < count; ++i) {
        FT_UInt index = FT_Get_Char_Index(face->face, code_points[i]);
        // Advances only need the outline loaded, not rendered.
        if (FT_Load_Glyph(face->face, index, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0)
            continue;
        width += int32_t((face->face->glyph->advance.x + 32) >> 6);
    }
    return width;
}
