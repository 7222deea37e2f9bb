// Models: the packer's "MMMM" bodies read back through the data loader, welding, smoothed
// normals, tangents, drawing, release to a mark and damaged bodies.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "res_test_env.h"
#include "resource/loader.h"
#include "resource/model_reader.h"
#include "resource/res_texture.h"
#include "tests/support/test_files.h"
#include "tests/support/test_images.h"
#include "tests/support/test_render.h"
#include "tools/packer/pack_model.h"
#include "tools/packer/packer.h"

using Bytes = std::vector<uint8_t>;

namespace {

uint32_t body_word(const Bytes &body, int word) {
    uint32_t v;
    std::memcpy(&v, body.data() + 4 * word, 4);
    return v;
}

float body_float(const Bytes &body, int word) {
    float f;
    std::memcpy(&f, body.data() + 4 * word, 4);
    return f;
}

void set_word(Bytes &body, int word, uint32_t v) {
    std::memcpy(body.data() + 4 * word, &v, 4);
}

// The unit box: six faces of two triangles, each face with its outward normal n and texture
// directions u and v (u x v = n, so the triangles wind clockwise seen from outside). Positions
// are the 8 cube corners (index: bit 0 x > 0, bit 1 y > 0, bit 2 z > 0), normals one per face,
// texture coordinates the four square corners; corner (s, t) of a face lies at
// n / 2 + (s - 1/2) u + (t - 1/2) v.
struct Face {
    float n[3], u[3], v[3];
};
const Face FACES[6] = {
    {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},  {{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
    {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},  {{-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},
    {{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 0, -1}, {0, 1, 0}, {1, 0, 0}},
};
const float SQUARE[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const int FACE_TRIANGLES[2][3] = {{0, 1, 2}, {0, 2, 3}}; // square corners of a face's triangles

void corner_position(int face, int q, float *p) {
    const Face &f = FACES[face];
    for (int a = 0; a < 3; ++a)
        p[a] = 0.5f * f.n[a] + (SQUARE[q][0] - 0.5f) * f.u[a] + (SQUARE[q][1] - 0.5f) * f.v[a];
}

int position_index(const float *p) {
    return (p[0] > 0 ? 1 : 0) | (p[1] > 0 ? 2 : 0) | (p[2] > 0 ? 4 : 0);
}

// The smoothed normal of the box corner (face, square corner q): the normals of every corner of
// the box at that position summed, normalised.
void box_smoothed_normal(int face, int q, double *out) {
    float p[3], c[3];
    corner_position(face, q, p);
    double s[3] = {0, 0, 0};
    for (int f = 0; f < 6; ++f)
        for (const auto &tri : FACE_TRIANGLES)
            for (int k : tri) {
                corner_position(f, k, c);
                if (position_index(c) == position_index(p))
                    for (int a = 0; a < 3; ++a) s[a] += FACES[f].n[a];
            }
    const double len = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
    for (int a = 0; a < 3; ++a) out[a] = s[a] / len;
}

// Options of the box: mirror_u flips the texture u of face 0 (its tangent turns round).
struct BoxOptions {
    bool texcoords = true;
    bool normals = true;
    uint32_t color = 0; // non-zero: every corner has this vertex colour
    bool mirror_u = false;
    bool flat_uv = false; // every corner at texture coordinate (0.5, 0.5)
};

PackModel box_model(const char *name, const BoxOptions &o = BoxOptions{}) {
    PackModel m;
    m.name = name;
    for (int i = 0; i < 8; ++i)
        for (int a = 0; a < 3; ++a) m.positions.push_back((i >> a) & 1 ? 0.5f : -0.5f);
    for (const Face &f : FACES) m.normals.insert(m.normals.end(), f.n, f.n + 3);
    for (const auto &s : SQUARE) m.texcoords.insert(m.texcoords.end(), s, s + 2);
    m.texcoords.push_back(0.5f);
    m.texcoords.push_back(0.5f); // item 4: the flat coordinate
    if (o.color) m.colors.push_back(o.color);
    for (int f = 0; f < 6; ++f)
        for (const auto &tri : FACE_TRIANGLES)
            for (int q : tri) {
                float p[3];
                corner_position(f, q, p);
                m.indices[PACK_INDEX_POSITION].push_back(position_index(p));
                if (o.normals) m.indices[PACK_INDEX_NORMAL].push_back(f);
                const int mirrored = q ^ 1; // (s, t) -> (1 - s, t)
                if (o.texcoords)
                    m.indices[PACK_INDEX_TEXCOORD].push_back(
                        o.flat_uv ? 4 : (o.mirror_u && f == 0 ? mirrored : q));
                if (o.color) m.indices[PACK_INDEX_COLOR].push_back(0);
            }
    if (!o.normals) m.normals.clear();
    if (!o.texcoords) m.texcoords.clear();
    m.materials.push_back({"", 0, 11, 0});
    return m;
}

// A mesh's vertex buffer, read through its layout.
struct VertexReader {
    const MeshBuffers *mesh;
    const uint8_t *vb;
    const uint16_t *ib;
    explicit VertexReader(const MeshBuffers *m) : mesh(m) {
        vb = static_cast<const uint8_t *>(gpu_vertex_buffer_lock(m->vertex_buffer));
        ib = m->index_buffer ? static_cast<const uint16_t *>(gpu_index_buffer_lock(m->index_buffer))
                             : nullptr;
    }
    ~VertexReader() {
        gpu_vertex_buffer_unlock(mesh->vertex_buffer);
        if (ib) gpu_index_buffer_unlock(mesh->index_buffer);
    }
    float at(uint32_t vertex, uint32_t byte) const {
        float f;
        std::memcpy(&f, vb + (size_t)vertex * mesh->stride + byte, 4);
        return f;
    }
};

// True when two positions are within the smoothing tolerance, squared distance below 2.5e-5
// taken in single precision.
bool close_positions(const float *p, const float *q) {
    float d = 0.0f;
    for (int k = 0; k < 3; ++k) {
        const float e = p[k] - q[k];
        d += e * e;
    }
    return d < 2.5e-5f;
}

std::vector<double> corner_sums(size_t n, const std::vector<uint32_t> &cp,
                                const std::vector<float> &cn) {
    std::vector<double> acc(3 * n, 0.0);
    for (size_t k = 0; k < cp.size(); ++k)
        for (int a = 0; a < 3; ++a) acc[cp[k] * 3 + a] += cn[k * 3 + a];
    return acc;
}

void normalise_all(std::vector<double> *v) {
    for (size_t p = 0; p < v->size() / 3; ++p) {
        double *x = &(*v)[p * 3];
        const double len = std::sqrt(x[0] * x[0] + x[1] * x[1] + x[2] * x[2]);
        if (len > 0.0)
            for (int k = 0; k < 3; ++k) x[k] /= len;
    }
}

// Each corner of the box, read through the index list, carries the smoothed normal of its cube
// corner in the set at byte 32.
void expect_box_smoothed_normals(const MeshBuffers *mesh) {
    VertexReader r(mesh);
    ASSERT_TRUE(r.vb && r.ib);
    for (int f = 0, k = 0; f < 6; ++f)
        for (const auto &tri : FACE_TRIANGLES)
            for (int q : tri) {
                const uint16_t v = r.ib[k++];
                double want[3];
                box_smoothed_normal(f, q, want);
                for (int a = 0; a < 3; ++a) EXPECT_NEAR(r.at(v, 32 + 4 * a), want[a], 1e-6);
            }
}

// Smoothed normals by the pairwise merge, in double: for every pair (a, b), a then b ascending
// over all position indices, a's sum gains b's and b takes the result.
std::vector<double> pairwise_merge(const std::vector<float> &pos, const std::vector<uint32_t> &cp,
                                   const std::vector<float> &cn) {
    const size_t n = pos.size() / 3;
    std::vector<double> acc = corner_sums(n, cp, cn);
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b) {
            if (a == b || !close_positions(&pos[a * 3], &pos[b * 3])) continue;
            for (int k = 0; k < 3; ++k) {
                acc[a * 3 + k] += acc[b * 3 + k];
                acc[b * 3 + k] = acc[a * 3 + k];
            }
        }
    normalise_all(&acc);
    return acc;
}

// Smoothed normals by neighbourhood, in double: each position sums the corner normals of every
// position within the tolerance of it, itself included.
std::vector<double> neighbourhood_sums(const std::vector<float> &pos,
                                       const std::vector<uint32_t> &cp,
                                       const std::vector<float> &cn) {
    const size_t n = pos.size() / 3;
    const std::vector<double> own = corner_sums(n, cp, cn);
    std::vector<double> acc(3 * n, 0.0);
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b)
            if (a == b || close_positions(&pos[a * 3], &pos[b * 3]))
                for (int k = 0; k < 3; ++k) acc[a * 3 + k] += own[b * 3 + k];
    normalise_all(&acc);
    return acc;
}

// Each test loads its files from "bin/" of a scratch folder, into pools with room for models.
class Models : public ::testing::Test {
  protected:
    char old_cwd[PATH_MAX] = {};

    void SetUp() override {
        ASSERT_TRUE(res_test_device());
        const std::string dir = test_temp_folder("model");
        ASSERT_FALSE(dir.empty());
        ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
        ASSERT_EQ(chdir(dir.c_str()), 0);
        mkdir("bin", 0755);
        ResourcePoolSizes s = *res_default_sizes();
        s.models = 64;
        s.model_subsets = 128;
        s.model_bones = 256; // room for the 128-bone palette
        s.model_name_bytes = s.material_name_bytes = s.bone_name_bytes = 4096;
        res_init(&s);
        loader_init();
    }
    void TearDown() override {
        loader_shutdown();
        res_test_start_pools();
        EXPECT_EQ(chdir(old_cwd), 0);
    }
    // Writes bin/<file>.bin from the chunks and loads it with the request value.
    static void load(const char *file, const std::vector<std::pair<uint32_t, Bytes>> &chunks,
                     uint32_t value = 0) {
        Bytes out;
        for (const auto &c : chunks)
            pack_append_chunk(out, c.first, pack_expected_version(c.first), c.second);
        res_test_write(std::string("bin/") + file + ".bin", out);
        ASSERT_TRUE(loader_enqueue(file, value));
        int guard = 0;
        int32_t r;
        while ((r = loader_step()) == 1 && ++guard < 1000) {
        }
        ASSERT_EQ(r, 0);
    }
    // Loads one model body as group `file`; the handle of the model named `name`, or 0.
    static ResourceHandle load_model(const char *file, const char *name, const Bytes &body,
                                     uint32_t value = 0) {
        load(file, {{pack_tag_of("MMMM"), body}}, value);
        return res_find_model(file, name);
    }
};

} // namespace

// One triangle (0,0,0) (2,0,0) (0,4,0): box 0..2, 0..4, 0..0; sphere centred at (1,2,0) with
// radius sqrt(1 + 4).
TEST(PackModel, HeaderBoundsFromPositions) {
    PackModel m;
    m.name = "tri";
    m.positions = {0, 0, 0, 2, 0, 0, 0, 4, 0};
    m.indices[PACK_INDEX_POSITION] = {0, 1, 2};
    m.materials.push_back({"wood", 0, 0, 7});
    const Bytes body = pack_model_body(m);
    ASSERT_GE(body.size(), PACK_MODEL_HEADER_SIZE + 16u);
    EXPECT_EQ(body_word(body, PACK_MODEL_TRIANGLES), 1u);
    const float box[6] = {0, 2, 0, 4, 0, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(body_float(body, PACK_MODEL_BOX + i), box[i]) << i;
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_SPHERE), 1.0f);
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_SPHERE + 1), 2.0f);
    EXPECT_FLOAT_EQ(body_float(body, PACK_MODEL_RADIUS), std::sqrt(5.0f));
    EXPECT_EQ(body_word(body, PACK_MODEL_MATERIALS), 1u);
    const uint32_t name = body_word(body, PACK_MODEL_HEADER_SIZE / 4);
    ASSERT_LT(name, body.size());
    EXPECT_STREQ(reinterpret_cast<const char *>(body.data() + name), "wood");
    // Absent attributes leave both their array and their index array at offset 0.
    EXPECT_EQ(body_word(body, 3), 0u);
    EXPECT_EQ(body_word(body, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_NORMAL), 0u);
}

// The lit box welds its 36 corners into 24 vertices (four per face); every index read back
// from the buffers gives its corner's position, normal and texture coordinate.
TEST_F(Models, BoxWeldsIntoFourVerticesPerFace) {
    ResourceHandle h = load_model("wbox", "box", pack_model_body(box_model("box")));
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->vertex_count, 24u);
    EXPECT_EQ(mesh->index_count, 36u);
    EXPECT_EQ(mesh->vertex_format, 0x112u); // position, normal, one coordinate set
    ASSERT_EQ(mesh->stride, 32u);
    EXPECT_EQ(mesh->primitive_total, 12u);
    // The file's box (x lo, x hi, ...) becomes min then max.
    const float box[6] = {-0.5f, -0.5f, -0.5f, 0.5f, 0.5f, 0.5f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(mesh->box[i], box[i]) << i;
    VertexReader r(mesh);
    ASSERT_TRUE(r.vb && r.ib);
    for (int f = 0, k = 0; f < 6; ++f)
        for (const auto &tri : FACE_TRIANGLES)
            for (int q : tri) {
                const uint16_t v = r.ib[k++];
                ASSERT_LT(v, 24u);
                float p[3];
                corner_position(f, q, p);
                for (int a = 0; a < 3; ++a) {
                    EXPECT_EQ(r.at(v, 4 * a), p[a]) << "corner " << k - 1;
                    EXPECT_EQ(r.at(v, 12 + 4 * a), FACES[f].n[a]) << "corner " << k - 1;
                }
                EXPECT_EQ(r.at(v, 24), SQUARE[q][0]);
                EXPECT_EQ(r.at(v, 28), SQUARE[q][1]);
            }
}

// Request value bit 0: a second coordinate set holds the smoothed normal of each position: the
// sum of the normals of every corner at that cube corner, normalised.
TEST_F(Models, SmoothedNormalsOfTheCubeCorners) {
    PackModel m = box_model("box");
    ResourceHandle h = load_model("sbox", "box", pack_model_body(m), 1);
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    EXPECT_EQ(mesh->vertex_format, 0x40212u); // the second set has three components
    ASSERT_EQ(mesh->stride, 44u);
    expect_box_smoothed_normals(mesh);

    // Without texture coordinates the first set is zeros and the smoothed set follows.
    BoxOptions o;
    o.texcoords = false;
    h = load_model("sbox_nouv", "box", pack_model_body(box_model("box", o)), 1);
    ASSERT_NE(h, 0u);
    VertexReader z(res_get_model(h));
    ASSERT_EQ(res_get_model(h)->stride, 44u);
    for (uint32_t v = 0; v < res_get_model(h)->vertex_count; ++v) {
        EXPECT_EQ(z.at(v, 24), 0.0f);
        EXPECT_EQ(z.at(v, 28), 0.0f);
        const float n[3] = {z.at(v, 32), z.at(v, 36), z.at(v, 40)};
        EXPECT_NEAR(n[0] * n[0] + n[1] * n[1] + n[2] * n[2], 1.0f, 1e-5);
    }
}

namespace {

uint32_t lcg_seed = 12345;
float rnd() {
    lcg_seed = lcg_seed * 1664525u + 1013904223u;
    return static_cast<float>(lcg_seed >> 8) / 16777216.0f;
}

// Smooths `pos` with three corners per position (corner k at position 7k mod n), each with a
// random normal, and compares every result with `rule` (a brute force in double).
template <typename Rule> void expect_smoothing_follows(const std::vector<float> &pos, Rule rule) {
    const uint32_t n = static_cast<uint32_t>(pos.size() / 3);
    std::vector<uint32_t> cp;
    std::vector<float> cn;
    for (uint32_t k = 0; k < 3 * n; ++k) {
        cp.push_back((k * 7) % n);
        cn.insert(cn.end(), {rnd() - 0.5f, rnd() - 0.5f, rnd() - 0.5f});
    }
    std::vector<float> got;
    ASSERT_TRUE(model_smooth_normals(pos.data(), n, cp.data(), cn.data(), 3 * n, &got));
    const std::vector<double> want = rule(pos, cp, cn);
    ASSERT_EQ(got.size(), want.size());
    for (uint32_t i = 0; i < 3 * n; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << "position " << i / 3;
}

} // namespace

// Where no more than two positions lie close together, the result is the pairwise merge's:
// lone positions, exact copies and pairs 0.003 apart (across cell borders too) on a lattice
// 0.05 apart, and one NaN position that is close to nothing.
TEST(ModelSmoothing, PairsGiveThePairwiseMergesResult) {
    std::vector<float> pos;
    for (int i = 0; i < 300; ++i) {
        const float x = 0.05f * (i % 7), y = 0.05f * ((i / 7) % 7), z = 0.05f * (i / 49);
        const float jitter[3] = {0.01f * rnd(), 0.01f * rnd(), 0.01f * rnd()};
        const float p[3] = {x + jitter[0], y + jitter[1], z + jitter[2]};
        pos.insert(pos.end(), p, p + 3);
        if (i % 3 == 1) pos.insert(pos.end(), p, p + 3);
        if (i % 3 == 2) pos.insert(pos.end(), {p[0] + 0.003f * rnd(), p[1] + 0.002f, p[2]});
    }
    pos.insert(pos.end(), {NAN, 0, 0});
    expect_smoothing_follows(pos, pairwise_merge);
}

// More than two: each position takes its own neighbourhood. Chains of points 0.004 apart (each
// close to its neighbours only), clusters of five copies, and 32,768 copies of one point, whose
// sums would grow without bound under a pairwise merge and which must not take quadratic time.
// Distinct positions crowded within the tolerance of one another are refused.
TEST(ModelSmoothing, GroupsAreEachPositionsNeighbourhood) {
    std::vector<float> pos;
    for (int chain = 0; chain < 12; ++chain) {
        const float x = rnd(), y = rnd(), z = rnd();
        for (int i = 0; i < 6; ++i) {
            for (int copies = i % 3 == 0 ? 5 : 1; copies > 0; --copies)
                pos.insert(pos.end(), {x + 0.004f * i, y, z + 0.001f * i});
        }
    }
    for (int i = 0; i < 40; ++i) pos.insert(pos.end(), {rnd(), rnd(), rnd()});
    expect_smoothing_follows(pos, neighbourhood_sums);

    // 32,768 copies of (1, 2, 3), each with normal (0.6, 0.8, 0) or, every fourth, (0, 0, 1):
    // the sum is 24,576 (0.6, 0.8, 0) + 8,192 (0, 0, 1), whose direction is (0.6, 0.8, 1/3)
    // over its length.
    const uint32_t n = 32768;
    std::vector<uint32_t> cp;
    std::vector<float> cn, got;
    pos.clear();
    for (uint32_t p = 0; p < n; ++p) {
        pos.insert(pos.end(), {1, 2, 3});
        cp.push_back(p);
        if (p % 4 == 3)
            cn.insert(cn.end(), {0, 0, 1});
        else
            cn.insert(cn.end(), {0.6f, 0.8f, 0});
    }
    ASSERT_TRUE(model_smooth_normals(pos.data(), n, cp.data(), cn.data(), n, &got));
    const double len = std::sqrt(1.0 + 1.0 / 9.0);
    for (uint32_t p = 0; p < n; p += 1111) {
        EXPECT_NEAR(got[p * 3], 0.6 / len, 1e-6);
        EXPECT_NEAR(got[p * 3 + 1], 0.8 / len, 1e-6);
        EXPECT_NEAR(got[p * 3 + 2], 1.0 / 3.0 / len, 1e-6);
    }

    // 20,000 distinct positions within 0.001 of one point: 4e8 comparisons are refused.
    pos.clear();
    for (uint32_t p = 0; p < 20000; ++p)
        pos.insert(pos.end(), {1 + 1e-7f * static_cast<float>(p % 100),
                               1 + 1e-7f * static_cast<float>(p / 100), 1});
    EXPECT_FALSE(model_smooth_normals(pos.data(), 20000, cp.data(), cn.data(), 20000, &got));
}

// A name with "_NRx" asks for tangents: per face the direction in which the texture u grows,
// with w = -1 where the texture is mirrored (face 0). The material gets a normal-map slot in
// the "_NRM" group, linked to the flat normal built-in when that group has no such texture.
TEST_F(Models, TangentsOfANormalMappedBox) {
    BoxOptions o;
    o.mirror_u = true;
    PackModel m = box_model("nbox_NRx", o);
    m.materials[0].texture = "pics\\wood.png";
    ResourceHandle h = load_model("tbox", "nbox", pack_model_body(m));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(res_model_flags(h) & 1u, 1u);
    const MeshBuffers *mesh = res_get_model(h);
    EXPECT_EQ(mesh->vertex_format, 0x112u); // the tangent is in the declaration only
    ASSERT_EQ(mesh->stride, 48u);
    VertexReader r(mesh);
    ASSERT_TRUE(r.vb && r.ib);
    for (int f = 0, k = 0; f < 6; ++f)
        for (int c = 0; c < 6; ++c) {
            const uint16_t v = r.ib[k++];
            const float sign = f == 0 ? -1.0f : 1.0f;
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(r.at(v, 32 + 4 * a), sign * FACES[f].u[a], 1e-6) << "face " << f;
            EXPECT_EQ(r.at(v, 44), sign) << "face " << f;
        }

    const ModelData *d = res_model_record(h)->data;
    ASSERT_EQ(d->material_word & 0xFF, 1u);
    const ModelMaterial &mat = d->materials[0];
    ASSERT_EQ(mat.slot_count, 2u);
    EXPECT_STREQ(mat.slot_names[0], "wood");
    EXPECT_STREQ(mat.slot_groups[0], "tbox");
    EXPECT_STREQ(mat.slot_names[1], "wood_normal");
    EXPECT_STREQ(mat.slot_groups[1], "tbox_NRM");
    EXPECT_EQ(mat.slot_textures[0], 0u);
    EXPECT_EQ(mat.slot_textures[1], res_flat_normal_texture());

    // All corners at one texture coordinate: no triangle has a texture-space direction, and
    // every tangent stays finite (zero, w = 1).
    o.flat_uv = true;
    h = load_model("tbox_flat", "flat", pack_model_body(box_model("flat_NRx", o)));
    ASSERT_NE(h, 0u);
    VertexReader z(res_get_model(h));
    for (uint32_t v = 0; v < res_get_model(h)->vertex_count; ++v) {
        for (int a = 0; a < 3; ++a) EXPECT_EQ(z.at(v, 32 + 4 * a), 0.0f);
        EXPECT_EQ(z.at(v, 44), 1.0f);
    }
}

// A box with vertex colours and three materials: the first textured (faces 0-2), the second
// with a texture but no triangles, the third untextured (faces 3-5). Drawn subset by subset
// through each kept subset's material, textured faces show texture x vertex colour and the
// others the vertex colour, seen where the test's own projection puts each visible face.
TEST_F(Models, ThreeMaterialBoxDrawsEachFaceWithItsMaterial) {
    const uint32_t YELLOW = 0xFFFFFF00u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu;
    BoxOptions o;
    o.color = YELLOW;
    PackModel m = box_model("box3", o);
    m.materials = {{"grn.png", 0, 5, 0}, {"blu.png", 6, 5, 0}, {"", 6, 11, 0}};
    auto solid = [](uint32_t argb) {
        const std::vector<uint8_t> rgba = {uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb),
                                           255};
        return test_encode_png_pixels(1, 1, 4, rgba);
    };
    load("mbox", {{pack_tag_of("TTTT"), pack_texture_body("grn.png", solid(GREEN))},
                  {pack_tag_of("TTTT"), pack_texture_body("blu.png", solid(BLUE))},
                  {pack_tag_of("MMMM"), pack_model_body(m)}});
    const ResourceHandle h = res_find_model("mbox", "box3");
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    ASSERT_EQ(mesh->counts_flags & MESH_SUBSET_COUNT_MASK, 2u);
    EXPECT_EQ(mesh->vertex_format, 0x152u);
    EXPECT_TRUE(mesh->counts_flags & MESH_FLAG_COLORS);
    const ModelMaterial *mats = static_cast<const ModelMaterial *>(mesh->materials);
    ASSERT_NE(mats, nullptr);
    EXPECT_EQ(mats[1].slot_textures[0], res_find_texture("mbox", "blu"));
    EXPECT_EQ(res_model_record(h)->data->first_texture, res_find_texture("mbox", "grn"));

    // World: a turn of 40 degrees about y, then 30 about x; x and y scaled by 0.8, depth
    // squeezed into 0..1.
    const double ay = 40 * M_PI / 180, ax = 30 * M_PI / 180;
    auto transform = [&](const float *p, double *out) {
        const double x1 = p[0] * std::cos(ay) + p[2] * std::sin(ay);
        const double z1 = -p[0] * std::sin(ay) + p[2] * std::cos(ay);
        const double y2 = p[1] * std::cos(ax) - z1 * std::sin(ax);
        const double z2 = p[1] * std::sin(ax) + z1 * std::cos(ax);
        out[0] = 0.8 * x1;
        out[1] = 0.8 * y2;
        out[2] = 0.4 * z2 + 0.5;
    };
    float world[16] = {};
    const float zero[3] = {0, 0, 0};
    double origin[3];
    transform(zero, origin);
    for (int row = 0; row < 3; ++row) {
        float axis[3] = {0, 0, 0};
        axis[row] = 1;
        double t[3];
        transform(axis, t);
        for (int c = 0; c < 3; ++c) world[row * 4 + c] = static_cast<float>(t[c] - origin[c]);
    }
    for (int c = 0; c < 3; ++c) world[12 + c] = static_cast<float>(origin[c]);
    world[15] = 1;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    gpu_set_vertex_shader(nullptr);
    gpu_set_pixel_shader(nullptr);
    gpu_set_transform(GPU_TS_WORLD, world);
    gpu_set_transform(GPU_TS_VIEW, identity);
    gpu_set_transform(GPU_TS_PROJECTION, identity);
    for (uint32_t s : {GPU_RS_LIGHTING, GPU_RS_ZENABLE, GPU_RS_ALPHABLENDENABLE,
                       GPU_RS_ALPHATESTENABLE, GPU_RS_FOGENABLE})
        gpu_set_render_state(s, 0);
    gpu_set_render_state(GPU_RS_CULLMODE, 3); // counter-clockwise triangles are back faces
    gpu_set_texture_stage_state(0, GPU_TSS_COLOROP, GPU_TOP_MODULATE);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG1, GPU_TA_TEXTURE);
    gpu_set_texture_stage_state(0, GPU_TSS_COLORARG2, GPU_TA_CURRENT);
    gpu_set_texture_stage_state(1, GPU_TSS_COLOROP, GPU_TOP_DISABLE);
    gpu_set_sampler_state(0, GPU_SAMP_MAGFILTER, 1);
    gpu_set_sampler_state(0, GPU_SAMP_MINFILTER, 1);
    ASSERT_EQ(gpu_clear(GPU_CLEAR_TARGET, 0xFF000000u, 1.0f, 0), GPU_OK);
    gpu_set_fvf(mesh->vertex_format);
    gpu_set_stream_source(mesh->vertex_buffer, 0, mesh->stride);
    gpu_set_indices(mesh->index_buffer);
    for (uint32_t k = 0; k < 2; ++k) {
        const MeshSubset &s = mesh->subsets[k];
        const ModelMaterial &mat = mats[s.material_index];
        const TextureHandle *tex = mat.slot_count ? res_get_texture(mat.slot_textures[0]) : nullptr;
        gpu_set_texture(0, tex ? tex->texture : nullptr);
        EXPECT_EQ(gpu_draw_indexed_primitive(GPU_PT_TRIANGLELIST, 0, s.min_index, s.vertex_span,
                                             s.start_index, s.primitive_count),
                  GPU_OK);
    }
    gpu_set_texture(0, nullptr);

    int w = 0, hgt = 0;
    gpu_get_back_buffer_size(&w, &hgt);
    int seen_textured = 0, seen_plain = 0;
    for (int f = 0; f < 6; ++f) {
        const float n_end[3] = {FACES[f].n[0], FACES[f].n[1], FACES[f].n[2]};
        double centre[3], tip[3];
        const float c[3] = {0.5f * n_end[0], 0.5f * n_end[1], 0.5f * n_end[2]};
        transform(c, centre);
        transform(n_end, tip);
        if (tip[2] - origin[2] >= 0) continue; // facing away from the viewer (who looks to +z)
        const int px = static_cast<int>((centre[0] * 0.5 + 0.5) * w);
        const int py = static_cast<int>((0.5 - centre[1] * 0.5) * hgt);
        const bool textured = f < 3;
        EXPECT_EQ(test_pixel(px, py), textured ? GREEN : YELLOW) << "face " << f;
        (textured ? seen_textured : seen_plain)++;
    }
    EXPECT_GT(seen_textured, 0);
    EXPECT_GT(seen_plain, 0);
}

namespace {

// A skinned strip of two quads: bones "hip" and "knee" with their offset matrices, every skin
// entry's four weights summing to 1.
PackModel skinned_model(const char *name) {
    PackModel m;
    m.name = name;
    for (int i = 0; i < 6; ++i)
        m.positions.insert(m.positions.end(), {float(i % 2), float(i / 2), 0});
    m.normals = {0, 0, -1};
    m.texcoords = {0, 0};
    m.skins = {{{0, 1, 0, 0}, {0.5f, 0.5f, 0, 0}}, {{1, 0, 0, 0}, {1, 0, 0, 0}}};
    const uint16_t quads[12] = {0, 2, 1, 1, 2, 3, 2, 4, 3, 3, 4, 5};
    for (uint16_t p : quads) {
        m.indices[PACK_INDEX_POSITION].push_back(p);
        m.indices[PACK_INDEX_NORMAL].push_back(0);
        m.indices[PACK_INDEX_TEXCOORD].push_back(0);
        m.indices[PACK_INDEX_SKIN].push_back(p / 3);
    }
    m.bone_names = {"hip", "knee"};
    m.bone_offsets.assign(2, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    m.bone_offsets[1][13] = -1.5f;
    m.materials = {{"skin.png", 0, 3, 0}, {"cloth", 4, 3, 0}};
    return m;
}

} // namespace

// Names live in the pool: bone and material names are still there after the body is freed.
// Loading and releasing 100 times returns every count, the material store and every name
// cursor to the mark.
TEST_F(Models, LoadAndReleaseReturnsToTheMark) {
    const Bytes skinned = pack_model_body(skinned_model("legs"));
    PackModel nm = box_model("nbox_NRx_SPx");
    nm.materials[0].texture = "wood";
    const Bytes mapped = pack_model_body(nm);
    Bytes file;
    pack_append_chunk(file, pack_tag_of("MMMM"), 0x02000000u, skinned);
    pack_append_chunk(file, pack_tag_of("MMMM"), 0x02000000u, mapped);
    res_test_write("bin/cycle.bin", file);

    ResourcePools *p = res_pools();
    ModelPool &m = p->models;
    ResourceMark mark;
    res_mark(&mark);
    const uint8_t *cursors[4] = {m.names.cursor, m.material_names.cursor, m.bone_names.cursor,
                                 p->groups.names.cursor};
    const int32_t groups = res_group_count(), materials = m.material_count;
    const uint32_t memory = res_model_memory();
    for (int round = 0; round < 100; ++round) {
        ASSERT_TRUE(loader_enqueue("cycle", 0));
        int guard = 0;
        while (loader_step() == 1 && ++guard < 100) {
        }
        const ResourceHandle legs = res_find_model("cycle", "legs");
        const ResourceHandle box = res_find_model("cycle", "nbox");
        ASSERT_TRUE(legs && box) << "round " << round;
        const MeshBuffers *mesh = res_get_model(legs);
        ASSERT_EQ((mesh->counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFF, 2u);
        const ResourceBuffer &bn = m.bone_names;
        for (int b = 0; b < 2; ++b) {
            const uint8_t *at = reinterpret_cast<const uint8_t *>(mesh->bones[b].name);
            ASSERT_TRUE(at >= bn.start && at < bn.start + bn.size);
            EXPECT_EQ(mesh->bones[b].hash, res_hash_name(b ? "knee" : "hip"));
        }
        EXPECT_STREQ(mesh->bones[1].name, "knee");
        EXPECT_EQ(mesh->bones[1].offset.m[3][1], -1.5f);
        const ModelMaterial *mats = res_model_record(legs)->data->materials;
        EXPECT_STREQ(mats[0].slot_names[0], "skin");
        EXPECT_STREQ(mats[1].slot_names[0], "cloth");
        const ModelMaterial &nmat = res_model_record(box)->data->materials[0];
        ASSERT_EQ(nmat.slot_count, 3u);
        EXPECT_STREQ(nmat.slot_names[2], "wood_specular");
        EXPECT_EQ(nmat.slot_textures[2], res_black_texture());
        EXPECT_GT(res_model_memory(), memory);

        res_release_to_mark(&mark);
        res_mark(&mark);
        EXPECT_EQ(res_model_count(), mark.counts[RES_COUNT_MODELS]);
        ASSERT_EQ(m.names.cursor, cursors[0]) << "round " << round;
        ASSERT_EQ(m.material_names.cursor, cursors[1]) << "round " << round;
        ASSERT_EQ(m.bone_names.cursor, cursors[2]) << "round " << round;
        ASSERT_EQ(p->groups.names.cursor, cursors[3]);
        ASSERT_EQ(res_group_count(), groups);
        ASSERT_EQ(m.material_count, materials);
        ASSERT_EQ(m.subset_count, 0);
        ASSERT_EQ(m.bone_count, 0);
        ASSERT_EQ(res_model_memory(), memory);
    }
}

// Damaged or unsupported bodies leave the model missing; the load goes on and nothing else is
// lost.
TEST_F(Models, DamagedBodiesLeaveTheModelMissing) {
    // what, body, request value, the reader's reason (null: read, then refused by the model
    // creator) and the name's suffix flags.
    struct Case {
        const char *what;
        Bytes body;
        uint32_t value;
        const char *reason = nullptr;
        uint32_t flags = 0;
    };
    std::vector<Case> cases;
    {
        PackModel m = box_model("bad");
        m.indices[PACK_INDEX_NORMAL][7] = 0xFFFF; // past the end of the body
        cases.push_back({"an index past its array", pack_model_body(m), 0, "past the end"});
    }
    {
        Bytes b = pack_model_body(box_model("bad"));
        set_word(b, PACK_MODEL_TRIANGLES, 0x60000000u); // 6T needs more than 32 bits
        cases.push_back({"T = 0x60000000", b, 0, "index array runs past"});
    }
    {
        PackModel m = skinned_model("bad");
        m.skins[1].bones[3] = 2; // two bones: 0 and 1
        cases.push_back(
            {"a bone index equal to the bone count", pack_model_body(m), 0, "names a bone"});
    }
    {
        BoxOptions o;
        o.normals = false;
        cases.push_back({"no normals (no declaration)", pack_model_body(box_model("bad", o)), 0});
        cases.push_back({"tangents with smoothed normals (no declaration)",
                         pack_model_body(box_model("bad_NRx")), 1, nullptr, 1});
    }
    {
        PackModel m = skinned_model("bad");
        for (int i = 2; i <= 128; ++i) {
            m.bone_names.push_back("b" + std::to_string(i));
            m.bone_offsets.push_back(m.bone_offsets[0]);
        }
        cases.push_back({"129 bones", pack_model_body(m), 0, "128 bones"});
    }
    {
        PackModel m = box_model("bad");
        m.materials.assign(256, PackMaterial{"", 0, 11, 0});
        cases.push_back({"256 materials", pack_model_body(m), 0, "255 materials"});
    }
    {
        PackModel m = box_model("bad");
        m.materials[0].last_triangle = 12; // one past the last triangle
        cases.push_back({"a material past the triangles", pack_model_body(m), 0});
    }
    {
        // 21,846 triangles of distinct corners weld into 65,538 vertices.
        PackModel m;
        m.name = "bad";
        m.normals = {0, 0, 1};
        for (int k = 0; k < 3 * 21846; ++k) {
            m.positions.insert(m.positions.end(), {float(k % 256), float(k / 256), 0});
            m.indices[PACK_INDEX_POSITION].push_back(static_cast<uint16_t>(k));
            m.indices[PACK_INDEX_NORMAL].push_back(0);
        }
        cases.push_back({"65,538 welded vertices", pack_model_body(m), 0, "65,535 vertices"});
    }
    // Values that are not finite, or whose squares and cross products would overflow.
    auto value_case = [&](const char *what, const char *reason, auto damage, bool skinned) {
        PackModel m = skinned ? skinned_model("bad") : box_model("bad");
        damage(m);
        cases.push_back({what, pack_model_body(m), 0, reason});
    };
    value_case(
        "a NaN position", "position", [](PackModel &m) { m.positions[5] = NAN; }, false);
    value_case(
        "a position of -2e9", "position", [](PackModel &m) { m.positions[0] = -2e9f; }, false);
    value_case(
        "an infinite normal", "normal", [](PackModel &m) { m.normals[4] = INFINITY; }, false);
    value_case(
        "a NaN texture coordinate", "texture coordinate",
        [](PackModel &m) { m.texcoords[3] = NAN; }, false);
    value_case(
        "an infinite bone offset", "bone offset",
        [](PackModel &m) { m.bone_offsets[1][13] = INFINITY; }, true);
    value_case(
        "a NaN skin weight", "skin weight", [](PackModel &m) { m.skins[1].weights[2] = NAN; },
        true);
    {
        Bytes b = pack_model_body(box_model("bad"));
        const float radius = 3e38f, nan = NAN;
        std::memcpy(b.data() + 4 * PACK_MODEL_RADIUS, &radius, 4);
        cases.push_back({"a bound radius of 3e38", b, 0, "radius"});
        b = pack_model_body(box_model("bad"));
        std::memcpy(b.data() + 4 * (PACK_MODEL_BOX + 3), &nan, 4);
        cases.push_back({"a NaN box", b, 0, "bound"});
    }
    // Tables and names inside the header or inside another table.
    {
        Bytes b = pack_model_body(box_model("bad"));
        set_word(b, 1, 0); // the name would be the triangle count's bytes
        cases.push_back({"a model name at offset 0", b, 0, "model name"});
        b = pack_model_body(box_model("bad"));
        set_word(b, PACK_MODEL_HEADER_SIZE / 4, 8); // the bytes of the positions' offset
        cases.push_back({"a texture name inside the header", b, 0, "material texture name"});
        b = pack_model_body(box_model("bad"));
        set_word(b, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_NORMAL,
                 body_word(b, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_POSITION) + 2);
        cases.push_back({"an index array inside another", b, 0, "overlap"});
    }
    {
        // One triangle whose position indices are bytes 106-111 of the header: the radius' high
        // half (0), then the material count (1): corners 0, 1, 0.
        PackModel m;
        m.name = "bad";
        m.positions = {0, 0, 0, 1, 0, 0};
        m.normals = {0, 0, 1};
        m.indices[PACK_INDEX_POSITION] = {0, 1, 0};
        m.indices[PACK_INDEX_NORMAL] = {0, 0, 0};
        m.materials = {{"", 0, 0, 0}};
        Bytes b = pack_model_body(m);
        set_word(b, PACK_MODEL_RADIUS, 0);
        set_word(b, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_POSITION, 106);
        cases.push_back({"an index array inside the header", b, 0, "inside the header"});
    }
    {
        Bytes b = pack_model_body(skinned_model("bad"));
        set_word(b, 15, body_word(b, 14)); // the bone matrices over the bone name offsets
        cases.push_back({"bone matrices over the bone names", b, 0, "overlap"});
        b = pack_model_body(skinned_model("bad"));
        set_word(b, body_word(b, 14) / 4, body_word(b, 2)); // "" at the first position
        cases.push_back({"a bone name inside the positions", b, 0, "bone name"});
    }
    int n = 0;
    for (const Case &c : cases) {
        ModelReadout r;
        const char *why = model_read(&r, c.body.data(), static_cast<uint32_t>(c.body.size()), "g",
                                     c.value, c.what[0] == 't' ? 1u : 0u);
        if (c.reason)
            EXPECT_TRUE(why && std::strstr(why, c.reason)) << c.what << ": " << (why ? why : "-");
        else
            EXPECT_EQ(why, nullptr) << c.what;
        const std::string group = "dmg" + std::to_string(n++);
        load(group.c_str(),
             {{pack_tag_of("MMMM"), c.body},
              {pack_tag_of("MMMM"), pack_model_body(box_model("good"))}},
             c.value);
        EXPECT_EQ(res_find_model(group.c_str(), "bad"), 0u) << c.what;
        EXPECT_NE(res_find_model(group.c_str(), "good"), 0u) << c.what;
    }
    EXPECT_EQ(res_model_count(), n);
}

// A cone of 40 triangles round the y axis whose apex (0, 1, 0) is written once per triangle,
// as exporters leave it unwelded; the rim lies on the unit circle at y = 0. Every corner
// carries its triangle's face normal, so the apex's smoothed normal is the normalised sum of 40
// face normals spread evenly round the axis: (0, 1, 0). No smoothed normal of the cone is
// anything but unit length.
TEST_F(Models, UnweldedConeApexSmoothsToTheAxis) {
    constexpr int SIDES = 40;
    PackModel m;
    m.name = "cone";
    for (int i = 0; i < SIDES; ++i) m.positions.insert(m.positions.end(), {0, 1, 0});
    for (int i = 0; i < SIDES; ++i) {
        const double a = 2 * M_PI * i / SIDES;
        m.positions.insert(m.positions.end(), {float(std::cos(a)), 0, float(std::sin(a))});
    }
    for (int i = 0; i < SIDES; ++i) {
        // Face (apex, rim i + 1, rim i): its normal points out at half the cone's slope angle.
        const double mid = 2 * M_PI * (i + 0.5) / SIDES, h = std::cos(M_PI / SIDES);
        const double n[3] = {h * std::cos(mid), h, h * std::sin(mid)};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double c : n) m.normals.push_back(float(c / len));
        for (int p : {i, SIDES + (i + 1) % SIDES, SIDES + i}) {
            m.indices[PACK_INDEX_POSITION].push_back(static_cast<uint16_t>(p));
            m.indices[PACK_INDEX_NORMAL].push_back(static_cast<uint16_t>(i));
        }
    }
    m.materials = {{"", 0, SIDES - 1, 0}};
    const ResourceHandle h = load_model("cone", "cone", pack_model_body(m), 1);
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    ASSERT_EQ(mesh->stride, 44u); // position, normal, zero coordinates, smoothed normal
    VertexReader r(mesh);
    int apexes = 0;
    for (uint32_t v = 0; v < mesh->vertex_count; ++v) {
        const float s[3] = {r.at(v, 32), r.at(v, 36), r.at(v, 40)};
        EXPECT_NEAR(s[0] * s[0] + s[1] * s[1] + s[2] * s[2], 1.0f, 1e-5) << "vertex " << v;
        if (r.at(v, 4) != 1.0f) continue;
        ++apexes;
        EXPECT_NEAR(s[0], 0.0f, 1e-5);
        EXPECT_NEAR(s[1], 1.0f, 1e-5);
        EXPECT_NEAR(s[2], 0.0f, 1e-5);
    }
    EXPECT_EQ(apexes, SIDES);
}

// Values at the limit still load: the box at 2e9 times its size (corners at +-1e9) with
// texture coordinates scaled by 1e9 gives the unit box's smoothed normals (the corner's corner
// normals summed, normalised) and tangents (each face's u direction), and a finite squared
// radius.
TEST_F(Models, ValuesAtTheLimitGiveTheUnitBoxResults) {
    for (int pass = 0; pass < 2; ++pass) {
        PackModel m = box_model(pass ? "big_NRx" : "big");
        for (float &p : m.positions) p *= 2e9f;
        for (float &t : m.texcoords) t *= 1e9f;
        const std::string group = "limit" + std::to_string(pass);
        const ResourceHandle h = load_model(group.c_str(), "big", pack_model_body(m), pass ? 0 : 1);
        ASSERT_NE(h, 0u) << pass;
        const MeshBuffers *mesh = res_get_model(h);
        EXPECT_FLOAT_EQ(mesh->extra_bounds[5], 3e18f); // radius sqrt(3) x 1e9, squared
        if (pass == 0) {
            expect_box_smoothed_normals(mesh);
            continue;
        }
        VertexReader r(mesh);
        for (int k = 0; k < 36; ++k)
            for (int a = 0; a < 3; ++a)
                EXPECT_NEAR(r.at(r.ib[k], 32 + 4 * a), FACES[k / 6].u[a], 1e-6) << "corner " << k;
    }
}

// The bone palette holds 128 bones: a model with exactly 128 is made with all of them, one with
// 129 is not.
TEST_F(Models, ModelsOfUpTo128BonesAreMade) {
    for (int bones : {128, 129}) {
        PackModel m = skinned_model("legs");
        for (int i = 2; i < bones; ++i) {
            m.bone_names.push_back("b" + std::to_string(i));
            m.bone_offsets.push_back(m.bone_offsets[0]);
        }
        const std::string group = "bones" + std::to_string(bones);
        const ResourceHandle h = load_model(group.c_str(), "legs", pack_model_body(m));
        if (bones == 129) {
            EXPECT_EQ(h, 0u);
            continue;
        }
        ASSERT_NE(h, 0u);
        const MeshBuffers *mesh = res_get_model(h);
        EXPECT_EQ((mesh->counts_flags >> MESH_BONE_COUNT_SHIFT) & 0xFF, 128u);
        EXPECT_STREQ(mesh->bones[127].name, "b127");
    }
}

// One array may serve two attributes of one shape: an octahedron whose normals are its
// positions, both read through one array and one index array, loads with those normals.
TEST_F(Models, AnArrayMayServeTwoAttributesOfOneShape) {
    PackModel m;
    m.name = "oct";
    for (int a = 0; a < 3; ++a)
        for (float sign : {1.0f, -1.0f}) {
            float p[3] = {0, 0, 0};
            p[a] = sign;
            m.positions.insert(m.positions.end(), p, p + 3);
        }
    m.normals = {0, 0, 1};
    for (uint16_t x : {0, 1})
        for (uint16_t y : {2, 3})
            for (uint16_t z : {4, 5})
                for (uint16_t p : {x, y, z}) {
                    m.indices[PACK_INDEX_POSITION].push_back(p);
                    m.indices[PACK_INDEX_NORMAL].push_back(0);
                }
    m.materials = {{"", 0, 7, 0}};
    Bytes b = pack_model_body(m);
    set_word(b, 3, body_word(b, 2));
    set_word(b, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_NORMAL,
             body_word(b, PACK_MODEL_INDEX_ARRAYS + PACK_INDEX_POSITION));
    const ResourceHandle h = load_model("oct", "oct", b);
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    EXPECT_EQ(mesh->vertex_count, 6u);
    VertexReader r(mesh);
    for (uint32_t v = 0; v < 6; ++v)
        for (int a = 0; a < 3; ++a) EXPECT_EQ(r.at(v, 12 + 4 * a), r.at(v, 4 * a));
}

// Beyond 65,535 indices (or vertices, unindexed) the counts are 32-bit: such models load.
TEST_F(Models, LargeModelsKeepTheirFullCounts) {
    // 21,846 indexed triangles over three corners: 3 vertices, 65,538 indices.
    PackModel m;
    m.name = "many";
    m.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    m.normals = {0, 0, -1};
    for (int t = 0; t < 21846; ++t)
        for (uint16_t k : {0, 2, 1}) {
            m.indices[PACK_INDEX_POSITION].push_back(k);
            m.indices[PACK_INDEX_NORMAL].push_back(0);
        }
    m.materials = {{"", 0, 21845, 0}};
    ResourceHandle h = load_model("big", "many", pack_model_body(m));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(res_get_model(h)->vertex_count, 3u);
    EXPECT_EQ(res_get_model(h)->index_count, 65538u);
    EXPECT_EQ(res_get_model(h)->primitive_total, 21846u);

    // 65,535 triangles are read unindexed: three vertices per triangle, no index list.
    for (int t = 21846; t < 65535; ++t)
        for (uint16_t k : {0, 2, 1}) {
            m.indices[PACK_INDEX_POSITION].push_back(k);
            m.indices[PACK_INDEX_NORMAL].push_back(0);
        }
    m.name = "flat";
    m.materials = {{"", 0, 65534, 0}};
    h = load_model("big2", "flat", pack_model_body(m));
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    EXPECT_EQ(mesh->vertex_count, 3u * 65535);
    EXPECT_EQ(mesh->index_count, 0u);
    EXPECT_EQ(mesh->index_buffer, nullptr);
    EXPECT_EQ(mesh->subsets[0].primitive_count, 65535u);
    VertexReader r(mesh);
    EXPECT_EQ(r.at(3 * 65534 + 1, 4), 1.0f); // last triangle, second corner: (0, 1, 0)
}

// Corners whose index tuples differ only in how a sum splits, (1, 0) against (0, 1), are
// different vertices; equal tuples are one vertex, numbered in the order of first appearance.
TEST_F(Models, WeldKeepsEveryDistinctTupleApartAndNumbersByFirstAppearance) {
    PackModel m;
    m.name = "mix";
    m.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    m.normals = {0, 0, -1, 0, 0, 1, 1, 0, 0};
    uint32_t seed = 7;
    std::vector<std::pair<uint16_t, uint16_t>> tuples;
    for (int k = 0; k < 3 * 40; ++k) {
        seed = seed * 1664525u + 1013904223u;
        const uint16_t p = static_cast<uint16_t>((seed >> 10) % 3);
        const uint16_t n = static_cast<uint16_t>(((seed >> 20) % 2) ? 2 - p % 3 : p % 2);
        m.indices[PACK_INDEX_POSITION].push_back(p);
        m.indices[PACK_INDEX_NORMAL].push_back(n);
        tuples.push_back({p, n});
    }
    std::vector<std::pair<uint16_t, uint16_t>> seen;
    std::vector<uint16_t> want;
    for (const auto &t : tuples) {
        size_t v = 0;
        while (v < seen.size() && seen[v] != t) ++v;
        if (v == seen.size()) seen.push_back(t);
        want.push_back(static_cast<uint16_t>(v));
    }
    const ResourceHandle h = load_model("weld", "mix", pack_model_body(m));
    ASSERT_NE(h, 0u);
    const MeshBuffers *mesh = res_get_model(h);
    EXPECT_EQ(mesh->vertex_count, seen.size());
    ASSERT_EQ(mesh->index_count, want.size());
    VertexReader r(mesh);
    for (size_t k = 0; k < want.size(); ++k) EXPECT_EQ(r.ib[k], want[k]) << "corner " << k;
}
