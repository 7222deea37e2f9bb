// "MMMM" body writer.
#include "tools/packer/pack_model.h"

#include <cmath>
#include <cstring>

namespace {

// A body under construction: words are written little-endian, arrays start on 4-byte bounds.
struct Body {
    std::vector<uint8_t> bytes;

    void set_u32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
    }
    void set_f32(size_t at, float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        set_u32(at, v);
    }
    void set_word(int word, uint32_t v) { set_u32(4 * static_cast<size_t>(word), v); }
    // Appends `size` raw bytes at the next 4-byte bound and returns their offset.
    uint32_t append(const void *data, size_t size) {
        while (bytes.size() % 4) bytes.push_back(0);
        size_t at = bytes.size();
        const uint8_t *p = static_cast<const uint8_t *>(data);
        bytes.insert(bytes.end(), p, p + size);
        return static_cast<uint32_t>(at);
    }
    uint32_t append_text(const std::string &text) { return append(text.c_str(), text.size() + 1); }
    // An array of little-endian scalars (the host is little-endian, as the loader assumes).
    template <typename T> uint32_t append_array(const std::vector<T> &v) {
        return v.empty() ? 0 : append(v.data(), v.size() * sizeof(T));
    }
};

} // namespace

std::vector<uint8_t> pack_model_body(const PackModel &m) {
    Body b;
    b.bytes.assign(PACK_MODEL_HEADER_SIZE + 16 * m.materials.size(), 0);
    b.set_word(PACK_MODEL_TRIANGLES,
               static_cast<uint32_t>(m.indices[PACK_INDEX_POSITION].size() / 3));
    b.set_word(1, b.append_text(m.name));
    b.set_word(2, b.append_array(m.positions));
    b.set_word(3, b.append_array(m.normals));
    b.set_word(4, b.append_array(m.texcoords));
    std::vector<uint8_t> skins;
    for (const PackSkin &s : m.skins) {
        skins.insert(skins.end(), s.bones, s.bones + 4);
        const uint8_t *w = reinterpret_cast<const uint8_t *>(s.weights);
        skins.insert(skins.end(), w, w + 16);
    }
    b.set_word(5, b.append_array(skins));
    b.set_word(6, b.append_array(m.colors));
    for (int k = 0; k < PACK_INDEX_COUNT; ++k)
        b.set_word(PACK_MODEL_INDEX_ARRAYS + k, b.append_array(m.indices[k]));

    const uint32_t bones = static_cast<uint32_t>(m.bone_names.size());
    b.set_word(PACK_MODEL_BONE_COUNT, bones);
    b.set_word(13, m.skins.empty() ? 0u : 1u);
    std::vector<uint32_t> name_offsets;
    for (const std::string &n : m.bone_names) name_offsets.push_back(b.append_text(n));
    b.set_word(14, b.append_array(name_offsets));
    std::vector<float> offsets;
    for (uint32_t i = 0; i < bones; ++i) {
        if (i < m.bone_offsets.size())
            offsets.insert(offsets.end(), m.bone_offsets[i].begin(), m.bone_offsets[i].end());
        else
            for (int k = 0; k < 16; ++k) offsets.push_back(k % 5 == 0 ? 1.0f : 0.0f);
    }
    b.set_word(15, b.append_array(offsets));

    // Box as x lo, x hi, y lo, y hi, z lo, z hi; the sphere is centred on the box and reaches
    // the farthest position.
    float lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
    const size_t count = m.positions.size() / 3;
    for (size_t v = 0; v < count; ++v)
        for (int a = 0; a < 3; ++a) {
            const float p = m.positions[v * 3 + a];
            if (v == 0 || p < lo[a]) lo[a] = p;
            if (v == 0 || p > hi[a]) hi[a] = p;
        }
    double centre[3], radius_sq = 0.0;
    for (int a = 0; a < 3; ++a) centre[a] = (static_cast<double>(lo[a]) + hi[a]) / 2.0;
    for (size_t v = 0; v < count; ++v) {
        double d = 0.0;
        for (int a = 0; a < 3; ++a) {
            const double e = m.positions[v * 3 + a] - centre[a];
            d += e * e;
        }
        if (d > radius_sq) radius_sq = d;
    }
    for (int a = 0; a < 3; ++a) {
        b.set_f32(4 * (PACK_MODEL_BOX + 2 * a), lo[a]);
        b.set_f32(4 * (PACK_MODEL_BOX + 2 * a + 1), hi[a]);
        b.set_f32(4 * (PACK_MODEL_SPHERE + a), static_cast<float>(centre[a]));
    }
    b.set_f32(4 * PACK_MODEL_RADIUS, static_cast<float>(std::sqrt(radius_sq)));

    b.set_word(PACK_MODEL_MATERIALS, static_cast<uint32_t>(m.materials.size()));
    for (size_t i = 0; i < m.materials.size(); ++i) {
        const PackMaterial &mat = m.materials[i];
        const size_t at = PACK_MODEL_HEADER_SIZE + 16 * i;
        b.set_u32(at, mat.texture.empty() ? 0u : b.append_text(mat.texture));
        b.set_u32(at + 4, mat.first_triangle);
        b.set_u32(at + 8, mat.last_triangle);
        b.set_u32(at + 12, mat.word);
    }
    while (b.bytes.size() % 4) b.bytes.push_back(0);
    return b.bytes;
}
