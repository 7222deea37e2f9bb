// Hierarchy, motion and camera-track bodies.
#include "tools/packer/pack_frames.h"

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
