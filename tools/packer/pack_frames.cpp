// Hierarchy, motion and camera-track bodies and their text lists.
#include "tools/packer/pack_frames.h"

#include <sstream>

#include "tools/packer/packer.h"

PackMatrix pack_translation(float x, float y, float z) {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
}

static void put_matrix(std::vector<uint8_t> &b, const PackMatrix &m) {
    for (float f : m) pack_put_f32(b, f);
}

// ---------------------------------------------------------------------------------------------
// Bodies

struct NameSlot {
    size_t at; // the name item's offset word
    std::string name;
};

static void put_frame(std::vector<uint8_t> &b, const PackFrame &f, std::vector<NameSlot> &names) {
    pack_put_u32(b, 2);
    put_matrix(b, f.matrix);
    pack_put_u32(b, 1);
    names.push_back({b.size(), f.name});
    pack_put_u32(b, 0);
    pack_put_u32(b, 0);
    for (const PackFrame &c : f.children) {
        pack_put_u32(b, 3);
        put_frame(b, c, names);
        pack_put_u32(b, 4);
    }
}

std::vector<uint8_t> pack_hierarchy_body(const PackFrame &root) {
    std::vector<uint8_t> b;
    std::vector<NameSlot> names;
    put_frame(b, root, names);
    pack_put_u32(b, 5);
    for (const NameSlot &n : names) pack_set_u32(b, n.at, pack_put_text(b, n.name));
    return b;
}

std::vector<uint8_t> pack_motion_body(const PackMotion &m) {
    std::vector<uint8_t> b(20, 0);
    pack_set_u32(b, 0, static_cast<uint32_t>(m.tracks.size()));
    pack_set_u32(b, 4, m.frames);
    pack_set_u32(b, 8, pack_put_text(b, m.name));
    size_t table = b.size();
    pack_set_u32(b, 12, static_cast<uint32_t>(table));
    b.resize(table + 4 * m.tracks.size(), 0);
    std::vector<NameSlot> names;
    for (size_t i = 0; i < m.tracks.size(); ++i) {
        const PackTrack &t = m.tracks[i];
        pack_set_u32(b, table + 4 * i, static_cast<uint32_t>(b.size()));
        names.push_back({b.size(), t.name});
        pack_put_u32(b, 0);
        pack_put_u32(b, 0);
        pack_put_u32(b, static_cast<uint32_t>(t.keys.size()));
        for (const PackMatrix &k : t.keys) put_matrix(b, k);
    }
    for (const NameSlot &n : names) pack_set_u32(b, n.at, pack_put_text(b, n.name));
    return b;
}

std::vector<uint8_t> pack_camera_body(const PackCamera &c) {
    std::vector<uint8_t> b(24, 0);
    pack_set_u32(b, 4, 24);
    pack_set_u32(b, 8, static_cast<uint32_t>(c.keys.size()));
    pack_set_u32(b, 12, c.word);
    std::vector<uint8_t> v;
    pack_put_f32(v, c.values[0]);
    pack_put_f32(v, c.values[1]);
    std::copy(v.begin(), v.end(), b.begin() + 16);
    for (const auto &k : c.keys)
        for (float f : k) pack_put_f32(b, f);
    pack_set_u32(b, 0, pack_put_text(b, c.name));
    return b;
}

// ---------------------------------------------------------------------------------------------
// Text lists

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
