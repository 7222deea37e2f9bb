// Text lists of hierarchies, motions, camera tracks and models for the packer tool.
#include "tools/packer/pack_lists.h"

#include <cstdlib>
#include <sstream>

namespace {

// Lines without comments, split into words; the line number of each.
struct Line {
    int number;
    std::vector<std::string> words;
};

std::vector<Line> lines_of(const std::string &text) {
    std::vector<Line> out;
    std::istringstream in(text);
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        Line l{n, {}};
        for (std::string w; words >> w;) l.words.push_back(w);
        if (!l.words.empty()) out.push_back(l);
    }
    return out;
}

bool fail(std::string *error, const Line &l, const std::string &what) {
    if (error) *error = "line " + std::to_string(l.number) + ": " + what;
    return false;
}

bool number(const std::string &w, float *out) {
    std::istringstream in(w);
    return static_cast<bool>(in >> *out) && in.peek() == EOF;
}

bool whole(const std::string &w, uint32_t *out) {
    if (w.empty() || w.find_first_not_of("0123456789") != std::string::npos || w.size() > 9)
        return false;
    *out = static_cast<uint32_t>(std::stoul(w));
    return true;
}

// Words [from, end) as a translation (3 numbers) or a whole matrix (16 numbers).
bool matrix_of(const Line &l, size_t from, PackMatrix *m, std::string *error) {
    size_t n = l.words.size() - from;
    float v[16];
    if (n != 3 && n != 16) return fail(error, l, "expected x y z or 16 matrix values");
    for (size_t i = 0; i < n; ++i)
        if (!number(l.words[from + i], &v[i]))
            return fail(error, l, "bad number " + l.words[from + i]);
    *m = n == 3 ? pack_translation(v[0], v[1], v[2]) : PackMatrix{};
    if (n == 16) std::copy(v, v + 16, m->begin());
    return true;
}

struct FlatFrame {
    std::string name;
    int parent;
    PackMatrix matrix;
};

PackFrame tree_of(const std::vector<FlatFrame> &flat, int i) {
    PackFrame f{flat[i].name, flat[i].matrix, {}};
    for (size_t k = 0; k < flat.size(); ++k)
        if (flat[k].parent == i) f.children.push_back(tree_of(flat, static_cast<int>(k)));
    return f;
}

// Words [from, from + n) as numbers.
bool numbers(const Line &l, size_t from, size_t n, float *out, std::string *error) {
    if (l.words.size() != from + n)
        return fail(error, l, l.words[0] + " takes " + std::to_string(n) + " numbers");
    for (size_t i = 0; i < n; ++i)
        if (!number(l.words[from + i], &out[i]))
            return fail(error, l, "bad number " + l.words[from + i]);
    return true;
}

// A corner "p/t/n/s/c" into the index arrays; `used` (bit per array) must match the first
// corner's.
bool corner(const Line &l, const std::string &c, PackModel *m, int *used, std::string *error) {
    static const int ORDER[5] = {PACK_INDEX_POSITION, PACK_INDEX_TEXCOORD, PACK_INDEX_NORMAL,
                                 PACK_INDEX_SKIN, PACK_INDEX_COLOR};
    std::vector<std::string> fields(1);
    for (char ch : c) {
        if (ch == '/')
            fields.emplace_back();
        else
            fields.back() += ch;
    }
    if (fields.size() > 5) return fail(error, l, "a corner has at most five fields: " + c);
    int bits = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].empty()) continue;
        uint32_t v;
        if (!whole(fields[i], &v) || v > 0xFFFF) return fail(error, l, "bad index in " + c);
        m->indices[ORDER[i]].push_back(static_cast<uint16_t>(v));
        bits |= 1 << i;
    }
    if (!(bits & 1)) return fail(error, l, "a corner needs its position: " + c);
    if (*used >= 0 && bits != *used) return fail(error, l, "corners name different attributes");
    *used = bits;
    return true;
}

} // namespace

bool pack_parse_hierarchy(const std::string &text, PackFrame *root, std::string *error) {
    std::vector<FlatFrame> flat;
    for (const Line &l : lines_of(text)) {
        if (l.words.size() < 2) return fail(error, l, "expected NAME PARENT and a matrix");
        FlatFrame f{l.words[0], -1, {}};
        if (l.words[1] != "-") {
            for (size_t k = 0; k < flat.size(); ++k)
                if (flat[k].name == l.words[1]) f.parent = static_cast<int>(k);
            if (f.parent < 0) return fail(error, l, "unknown parent " + l.words[1]);
        } else if (!flat.empty()) {
            return fail(error, l, "only the first frame is the root");
        }
        if (flat.empty() && f.parent >= 0) return fail(error, l, "the first frame is the root");
        if (!matrix_of(l, 2, &f.matrix, error)) return false;
        flat.push_back(f);
    }
    if (flat.empty()) {
        if (error) *error = "no frame";
        return false;
    }
    *root = tree_of(flat, 0);
    return true;
}

bool pack_parse_motion(const std::string &text, PackMotion *m, std::string *error) {
    bool named = false;
    for (const Line &l : lines_of(text)) {
        const std::string &w = l.words[0];
        if (w == "motion") {
            if (named || l.words.size() != 3 || !whole(l.words[2], &m->frames))
                return fail(error, l, "expected one \"motion NAME FRAMES\"");
            m->name = l.words[1];
            named = true;
        } else if (w == "track") {
            if (!named || l.words.size() != 2) return fail(error, l, "expected \"track NAME\"");
            m->tracks.push_back({l.words[1], {}});
        } else if (w == "key") {
            if (m->tracks.empty()) return fail(error, l, "a key before any track");
            PackMatrix k;
            if (!matrix_of(l, 1, &k, error)) return false;
            m->tracks.back().keys.push_back(k);
        } else {
            return fail(error, l, "unknown word " + w);
        }
    }
    if (!named && error) *error = "no \"motion NAME FRAMES\" line";
    return named;
}

bool pack_parse_camera(const std::string &text, PackCamera *c, std::string *error) {
    bool named = false;
    for (const Line &l : lines_of(text)) {
        if (l.words[0] == "camera") {
            if (named || l.words.size() != 5 || !whole(l.words[2], &c->word) ||
                !number(l.words[3], &c->values[0]) || !number(l.words[4], &c->values[1]))
                return fail(error, l, "expected one \"camera NAME WORD VALUE0 VALUE1\"");
            c->name = l.words[1];
            named = true;
        } else if (l.words[0] == "key" && named && l.words.size() == 5) {
            std::array<float, 4> k;
            for (int i = 0; i < 4; ++i)
                if (!number(l.words[1 + i], &k[i])) return fail(error, l, "bad number");
            c->keys.push_back(k);
        } else {
            return fail(error, l, "expected \"camera ...\" first, then \"key a b c d\" lines");
        }
    }
    if (!named && error) *error = "no \"camera NAME WORD VALUE0 VALUE1\" line";
    return named;
}

bool pack_parse_model(const std::string &text, PackModel *m, std::string *error) {
    bool named = false;
    int used = -1;
    for (const Line &l : lines_of(text)) {
        const std::string &w = l.words[0];
        float v[8];
        if (w == "model") {
            if (named || l.words.size() != 2) return fail(error, l, "expected one \"model NAME\"");
            m->name = l.words[1];
            named = true;
        } else if (w == "v" || w == "vn") {
            if (!numbers(l, 1, 3, v, error)) return false;
            (w == "v" ? m->positions : m->normals)
                .insert((w == "v" ? m->positions : m->normals).end(), v, v + 3);
        } else if (w == "vt") {
            if (!numbers(l, 1, 2, v, error)) return false;
            m->texcoords.insert(m->texcoords.end(), v, v + 2);
        } else if (w == "vc") {
            char *end = nullptr;
            unsigned long c = l.words.size() == 2 ? std::strtoul(l.words[1].c_str(), &end, 16) : 0;
            if (!end || *end || l.words[1].size() != 8)
                return fail(error, l, "expected vc AARRGGBB");
            m->colors.push_back(static_cast<uint32_t>(c));
        } else if (w == "skin") {
            uint32_t b[4];
            if (l.words.size() != 9)
                return fail(error, l, "skin takes four bones and four weights");
            for (int i = 0; i < 4; ++i)
                if (!whole(l.words[1 + i], &b[i]) || b[i] > 255)
                    return fail(error, l, "bad bone number");
            if (!numbers(l, 5, 4, v, error)) return false;
            m->skins.push_back({{static_cast<uint8_t>(b[0]), static_cast<uint8_t>(b[1]),
                                 static_cast<uint8_t>(b[2]), static_cast<uint8_t>(b[3])},
                                {v[0], v[1], v[2], v[3]}});
        } else if (w == "bone") {
            PackMatrix offset;
            if (l.words.size() < 2 || !matrix_of(l, 2, &offset, error)) return false;
            m->bone_names.push_back(l.words[1]);
            m->bone_offsets.push_back(offset);
        } else if (w == "material") {
            uint32_t first, last;
            if (l.words.size() != 4 || !whole(l.words[2], &first) || !whole(l.words[3], &last))
                return fail(error, l, "expected material TEXTURE|- FIRST LAST");
            m->materials.push_back({l.words[1] == "-" ? "" : l.words[1], first, last, 0});
        } else if (w == "f") {
            if (l.words.size() != 4) return fail(error, l, "a face has three corners");
            for (int i = 1; i <= 3; ++i)
                if (!corner(l, l.words[i], m, &used, error)) return false;
        } else {
            return fail(error, l, "unknown word " + w);
        }
    }
    if (!named) {
        if (error) *error = "no \"model NAME\" line";
        return false;
    }
    // Every index names an entry of its array.
    const size_t sizes[PACK_INDEX_COUNT] = {m->positions.size() / 3, m->normals.size() / 3,
                                            m->texcoords.size() / 2, m->skins.size(),
                                            m->colors.size()};
    static const char *const NAMES[PACK_INDEX_COUNT] = {"position", "normal", "texture coordinate",
                                                        "skin entry", "colour"};
    for (int a = 0; a < PACK_INDEX_COUNT; ++a)
        for (uint16_t i : m->indices[a])
            if (i >= sizes[a]) {
                if (error)
                    *error = std::string("a face names ") + NAMES[a] + " " + std::to_string(i) +
                             ", past the list";
                return false;
            }
    return true;
}
