// The 3D sample set: its description and the tagged data files packed from it.
#include "tools/datagen/sample3d.h"

#include <cmath>

#include "tools/datagen/canvas.h"
#include "tools/packer/packer.h"

namespace {

constexpr float PI = 3.14159265358979f;

// ---------------------------------------------------------------------------------------------
// Models

struct BoxOptions {
    bool texcoords = true;
    bool colors = false;
    bool skinned = false;
};

// Appends an axis-aligned box: 8 corner positions (corner k has bit 2 for +x, bit 1 for +y,
// bit 0 for +z), 6 face normals, 4 texture coordinates, and 12 triangles, two per face, whose
// corners run so that (b - a) x (c - a) points out of the box. Colours and skin entries, when
// used, are indexed like the positions (the caller appends 8 of each).
void add_box(PackModel &m, const float centre[3], const float half[3], const BoxOptions &o) {
    const uint16_t pos = static_cast<uint16_t>(m.positions.size() / 3);
    const uint16_t nrm = static_cast<uint16_t>(m.normals.size() / 3);
    const uint16_t uv = static_cast<uint16_t>(m.texcoords.size() / 2);
    for (int k = 0; k < 8; ++k)
        for (int a = 0; a < 3; ++a)
            m.positions.push_back(centre[a] + ((k >> (2 - a)) & 1 ? half[a] : -half[a]));
    if (o.texcoords) m.texcoords.insert(m.texcoords.end(), {0, 0, 1, 0, 1, 1, 0, 1});
    for (int face = 0; face < 6; ++face) {
        const int a = face / 2, u = (a + 1) % 3, v = (a + 2) % 3;
        const int side = face % 2 == 0 ? 1 : 0; // +a, then -a
        for (int i = 0; i < 3; ++i) m.normals.push_back(i == a ? (side ? 1.0f : -1.0f) : 0.0f);
        // (u, v) corners (0,0) (1,0) (1,1) (0,1): u x v = +a, so the -a face runs backwards.
        int order[4] = {0, 1, 2, 3};
        if (!side) std::swap(order[1], order[3]);
        static const int UV[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
        uint16_t corner[4], coord[4];
        for (int i = 0; i < 4; ++i) {
            const int *c = UV[order[i]];
            int bits = side << (2 - a) | c[0] << (2 - u) | c[1] << (2 - v);
            corner[i] = static_cast<uint16_t>(pos + bits);
            coord[i] = static_cast<uint16_t>(uv + order[i]);
        }
        static const int TRIS[2][3] = {{0, 1, 2}, {0, 2, 3}};
        for (const auto &t : TRIS)
            for (int i : t) {
                m.indices[PACK_INDEX_POSITION].push_back(corner[i]);
                m.indices[PACK_INDEX_NORMAL].push_back(static_cast<uint16_t>(nrm + face));
                if (o.texcoords) m.indices[PACK_INDEX_TEXCOORD].push_back(coord[i]);
                if (o.colors) m.indices[PACK_INDEX_COLOR].push_back(corner[i]);
                if (o.skinned) m.indices[PACK_INDEX_SKIN].push_back(corner[i]);
            }
    }
}

PackModel box_model(const std::string &name, std::array<float, 3> centre, std::array<float, 3> half,
                    const std::string &texture) {
    PackModel m;
    m.name = name;
    add_box(m, centre.data(), half.data(), BoxOptions{});
    m.materials.push_back({texture, 0, 11, 0});
    return m;
}

PackMatrix translation(float x, float y, float z) {
    return pack_translation(x, y, z);
}

// Skinned legs: one box per bone along the bone, from its joint to the next one down; the top
// corners of a lower box are shared half and half with the bone above.
PackModel legs_model(const std::vector<SampleFrame> &frames) {
    PackModel m;
    m.name = "By";
    const char *bones[4] = {"leg_L_up", "leg_L_lo", "leg_R_up", "leg_R_lo"};
    for (uint8_t b = 0; b < 4; ++b) {
        // Rest world position of the bone's joint: the translations from it up to the root.
        float joint[3] = {0, 0, 0};
        int k = -1;
        for (size_t f = 0; f < frames.size(); ++f)
            if (frames[f].name == bones[b]) k = static_cast<int>(f);
        for (; k >= 0; k = frames[k].parent)
            for (int a = 0; a < 3; ++a) joint[a] += frames[k].rest[12 + a];
        float centre[3] = {joint[0], joint[1] - 0.5f, joint[2]}, half[3] = {0.1f, 0.5f, 0.1f};
        add_box(m, centre, half, BoxOptions{true, false, true});
        for (int k = 0; k < 8; ++k) {
            bool shared = (b % 2) == 1 && (k & 2);
            PackSkin s{{b, static_cast<uint8_t>(shared ? b - 1 : 0), 0, 0},
                       {shared ? 0.5f : 1.0f, shared ? 0.5f : 0.0f, 0, 0}};
            m.skins.push_back(s);
        }
        m.bone_names.push_back(bones[b]);
        m.bone_offsets.push_back(translation(-joint[0], -joint[1], -joint[2]));
    }
    m.materials.push_back({"", 0, 47, 0});
    return m;
}

// ---------------------------------------------------------------------------------------------
// Hierarchies and motions

SampleHierarchy hierarchy(std::initializer_list<SampleFrame> frames) {
    return SampleHierarchy{frames};
}

PackFrame tree_of(const SampleHierarchy &h, int i) {
    PackFrame f{h.frames[i].name, h.frames[i].rest, {}};
    for (size_t k = 0; k < h.frames.size(); ++k)
        if (h.frames[k].parent == i) f.children.push_back(tree_of(h, static_cast<int>(k)));
    return f;
}

PackMatrix key_of(const SampleTrack &t, uint32_t f) {
    const float a = t.step * static_cast<float>(f);
    const float c = std::cos(a), s = std::sin(a);
    PackMatrix m = translation(t.move[0] * f, t.move[1] * f, t.move[2] * f);
    const int i = t.axis == SAMPLE_AXIS_X ? 1 : t.axis == SAMPLE_AXIS_Y ? 2 : 0;
    const int j = t.axis == SAMPLE_AXIS_X ? 2 : t.axis == SAMPLE_AXIS_Y ? 0 : 1;
    // Rows i and j of the rotation: (c, s) and (-s, c) in columns i and j.
    m[i * 4 + i] = c;
    m[i * 4 + j] = s;
    m[j * 4 + i] = -s;
    m[j * 4 + j] = c;
    return m;
}

PackMotion motion_of(const SampleMotion &s) {
    PackMotion m{s.name, s.frames, {}};
    for (const SampleTrack &t : s.tracks) {
        PackTrack p{t.frame, {}};
        for (uint32_t f = 0; f < s.frames; ++f) p.keys.push_back(key_of(t, f));
        m.tracks.push_back(p);
    }
    return m;
}

// ---------------------------------------------------------------------------------------------
// Collision meshes

using P3 = std::array<float, 3>;

// Two triangles over the corners p0 p1 p2 p3 (in order round the quad), front faces as given.
void quad(std::vector<PackCollTriangle> &out, P3 p0, P3 p1, P3 p2, P3 p3, uint32_t face) {
    out.push_back({{p0[0], p0[1], p0[2]}, {p1[0], p1[1], p1[2]}, {p2[0], p2[1], p2[2]}, face});
    out.push_back({{p0[0], p0[1], p0[2]}, {p2[0], p2[1], p2[2]}, {p3[0], p3[1], p3[2]}, face + 1});
}

// The twelve triangles of a box model as a collision mesh, face words 1 to 12.
std::vector<PackCollTriangle> box_triangles(const PackModel &m) {
    std::vector<PackCollTriangle> out;
    const auto &idx = m.indices[PACK_INDEX_POSITION];
    for (size_t t = 0; t + 2 < idx.size(); t += 3) {
        PackCollTriangle tri{};
        float *corners[3] = {tri.a, tri.b, tri.c};
        for (int k = 0; k < 3; ++k)
            for (int a = 0; a < 3; ++a) corners[k][a] = m.positions[idx[t + k] * 3 + a];
        tri.face = static_cast<uint32_t>(t / 3 + 1);
        out.push_back(tri);
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// The files

std::vector<SampleFile> make_files(void) {
    std::vector<SampleFile> files;

    SampleFile nrm{"mdl_NRM", {}, {}, {}, {}, {}, {}, {}};
    nrm.textures.push_back({"nbox_normal.png", 0xFF8080FFu});
    files.push_back(nrm);

    SampleFile mdl{"mdl", {}, {}, {}, {}, {}, {}, {}};
    mdl.textures = {{"tile.png", 0xFFC08040u}, {"nbox.png", 0xFF40A0E0u}};
    mdl.models.push_back({box_model("box", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, "tile.png"), "box"});
    {
        PackModel c;
        c.name = "cbox";
        float zero[3] = {0, 0, 0}, half[3] = {0.5f, 0.5f, 0.5f};
        add_box(c, zero, half, BoxOptions{true, true, false});
        for (int k = 0; k < 8; ++k)
            c.colors.push_back(0xFF000000u | (k & 4 ? 0xFF0000u : 0) | (k & 2 ? 0xFF00u : 0) |
                               (k & 1 ? 0xFFu : 0));
        // Faces +x, -x and +y textured; the middle material draws nothing; -y, +z, -z plain.
        c.materials = {{"tile.png", 0, 5, 0}, {"", 1, 0, 0}, {"", 6, 11, 0}};
        mdl.models.push_back({c, "cbox"});
    }
    mdl.models.push_back(
        {box_model("nbox_NRx", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, "nbox.png"), "nbox"});
    {
        // Ground at y = 0 over x 0..4, a step at y = 1 over x 4..6, and the step's riser at
        // x = 4 facing -x; z 0..4 throughout.
        SampleCollMesh floor{"floor", {}, {1, 1, 1, -1}};
        quad(floor.triangles, {0, 0, 0}, {0, 0, 4}, {4, 0, 4}, {4, 0, 0}, 1);
        quad(floor.triangles, {4, 1, 0}, {4, 1, 4}, {6, 1, 4}, {6, 1, 0}, 3);
        quad(floor.triangles, {4, 0, 0}, {4, 0, 4}, {4, 1, 4}, {4, 1, 0}, 5);
        mdl.collmeshes.push_back(floor);
    }
    mdl.shape_sets.push_back({"balls", {{1, 0, 0, 0}, {0.5f, 3, 4, 0}, {2, 0, 0, -1}}, 5.5f});
    mdl.cameras.push_back(
        {"cam", 30, {1.0f, 0.5f}, {{0, 2, -5, 0}, {1, 2, -4, 0.25f}, {2, 3, -3, 0.5f}}});
    files.push_back(mdl);

    // Two legs of three frames under the root.
    SampleFile mo{"mo", {}, {}, {}, {}, {}, {}, {}};
    mo.hierarchies.push_back(hierarchy({
        {"By", -1, translation(0, 2, 0)},
        {"leg_L_up", 0, translation(0.5f, 0, 0)},
        {"leg_L_lo", 1, translation(0, -1, 0)},
        {"leg_L_end", 2, translation(0, -1, 0)},
        {"leg_R_up", 0, translation(-0.5f, 0, 0)},
        {"leg_R_lo", 4, translation(0, -1, 0)},
        {"leg_R_end", 5, translation(0, -1, 0)},
    }));
    mo.models.push_back({legs_model(mo.hierarchies[0].frames), "By"});
    mo.motions.push_back({"mime",
                          8,
                          {{"By", SAMPLE_AXIS_Y, 0, {0, 0, 0.25f}},
                           {"leg_L_up", SAMPLE_AXIS_Z, PI / 16, {0, 0, 0}},
                           {"leg_L_lo", SAMPLE_AXIS_Z, PI / 32, {0, 0, 0}},
                           {"leg_R_up", SAMPLE_AXIS_Z, -PI / 16, {0, 0, 0}},
                           {"leg_R_lo", SAMPLE_AXIS_Z, -PI / 32, {0, 0, 0}},
                           {"leg_R_end", SAMPLE_AXIS_Z, 0, {0, 0, 0}}},
                          "leg_L_end"});
    mo.motions.push_back({"mbody",
                          4,
                          {{"By", SAMPLE_AXIS_Y, PI / 6, {0, 0, 0}},
                           {"leg_L_up", SAMPLE_AXIS_X, PI / 18, {0, 0, 0}},
                           {"leg_L_lo", SAMPLE_AXIS_X, 0, {0, 0, 0}},
                           {"leg_R_up", SAMPLE_AXIS_X, -PI / 18, {0, 0, 0}},
                           {"leg_R_lo", SAMPLE_AXIS_X, 0, {0, 0, 0}},
                           {"leg_R_end", SAMPLE_AXIS_X, 0, {0, 0, 0}}},
                          "leg_L_end"});
    files.push_back(mo);

    // A body with a head and a three-link tail for the swinging chains.
    SampleFile t{"T", {}, {}, {}, {}, {}, {}, {}};
    t.hierarchies.push_back(hierarchy({
        {"B1", -1, translation(0, 1, 0)},
        {"B1_head", 0, translation(0, 0.5f, 0.5f)},
        {"tail_1", 0, translation(0, 0, -0.5f)},
        {"tail_2", 2, translation(0, 0, -0.5f)},
        {"tail_3", 3, translation(0, 0, -0.5f)},
    }));
    t.models.push_back({box_model("B1", {0, 0, 0}, {0.5f, 0.5f, 0.75f}, ""), "B1"});
    t.models.push_back({box_model("T", {0, 0.3f, 0}, {0.2f, 0.2f, 0.2f}, ""), "T"});
    t.motions.push_back({"Tme",
                         6,
                         {{"B1", SAMPLE_AXIS_Y, PI / 12, {0, 0, 0}},
                          {"B1_head", SAMPLE_AXIS_X, -PI / 36, {0, 0, 0}},
                          {"tail_1", SAMPLE_AXIS_Y, PI / 24, {0, 0, 0}},
                          {"tail_2", SAMPLE_AXIS_Y, 0, {0, 0, 0}},
                          {"tail_3", SAMPLE_AXIS_Y, 0, {0, 0, 0}}},
                         ""});
    t.motions.push_back({"Tdy",
                         3,
                         {{"B1", SAMPLE_AXIS_X, -PI / 6, {0, 0, 0}},
                          {"B1_head", SAMPLE_AXIS_X, 0, {0, 0, 0}},
                          {"tail_1", SAMPLE_AXIS_X, 0, {0, 0, 0}},
                          {"tail_2", SAMPLE_AXIS_X, 0, {0, 0, 0}},
                          {"tail_3", SAMPLE_AXIS_X, 0, {0, 0, 0}}},
                         ""});
    t.collmeshes.push_back({"CM_B1_body", box_triangles(t.models[0].model), {1, 1, 1, -1}});
    files.push_back(t);

    // The stage set: world-space frames under an identity root; '#' and '*' patterns meet
    // "post_1", "post_12" and "lamp_01"; "deco_nd" is an empty node; the markers have no model.
    SampleFile s1{"s1", {}, {}, {}, {}, {}, {}, {}};
    s1.hierarchies.push_back(hierarchy({
        {"stage_s", -1, translation(0, 0, 0)},
        {"post_1", 0, translation(-2, 0, 2)},
        {"post_12", 0, translation(2, 0, 2)},
        {"lamp_01", 0, translation(0, 3, 0)},
        {"deco_nd", 0, translation(0, 0, -2)},
        {"lamp_swnod", 0, translation(0, 2.5f, 0)},
        {"lamp_tnd", 0, translation(1, 0, 0)},
        {"lamp_lnd", 0, translation(0, 3, 1)},
        {"stage_dummy", 0, translation(0, 0, 5)},
        {"floor_1", 0, translation(0, 0, 0)},
    }));
    s1.models.push_back({box_model("post_1", {0, 1, 0}, {0.2f, 1, 0.2f}, ""), "post_1"});
    s1.models.push_back({box_model("post_12", {0, 1, 0}, {0.2f, 1, 0.2f}, ""), "post_12"});
    s1.models.push_back({box_model("lamp_01", {0, 0, 0}, {0.3f, 0.3f, 0.3f}, ""), "lamp_01"});
    // The floor drawn over the floor collision mesh: a thin box whose top face lies at y = 0.
    s1.models.push_back({box_model("floor_1", {0, -0.05f, 0}, {5, 0.05f, 5}, ""), "floor_1"});
    s1.motions.push_back({"lamp_pad", 4, {{"lamp_01", SAMPLE_AXIS_Z, PI / 8, {0, 0, 0}}}, ""});
    {
        SampleCollMesh floor{"stage_s", {}, {1, 1, 1, -1}};
        quad(floor.triangles, {-5, 0, -5}, {-5, 0, 5}, {5, 0, 5}, {5, 0, -5}, 1);
        s1.collmeshes.push_back(floor);
        SampleCollMesh wall{"stage_wall", {}, {1, 1, 1, -1}};
        quad(wall.triangles, {3, 0, -5}, {3, 0, 5}, {3, 3, 5}, {3, 3, -5}, 1);
        s1.collmeshes.push_back(wall);
    }
    files.push_back(s1);
    return files;
}

std::vector<uint8_t> png_of(uint32_t argb) {
    Canvas cv = cv_make(2, 2);
    cv_fill(cv, rgb(argb & 0xFFFFFF, ((argb >> 24) & 0xFF) / 255.0f));
    return cv_png(cv);
}

void chunk(std::vector<uint8_t> &out, const char *tag, const std::vector<uint8_t> &body) {
    uint32_t t = pack_tag_of(tag);
    pack_append_chunk(out, t, pack_expected_version(t), body);
}

} // namespace

const std::vector<SampleFile> &datagen_3d_files(void) {
    static const std::vector<SampleFile> files = make_files();
    return files;
}

bool datagen_3d_bytes(const SampleFile &f, std::vector<uint8_t> *out, std::string *error) {
    out->clear();
    for (const SampleTexture &t : f.textures) {
        std::vector<uint8_t> png = png_of(t.argb);
        if (png.empty()) {
            if (error) *error = "cannot encode " + t.file;
            return false;
        }
        chunk(*out, "TTTT", pack_texture_body(t.file, png));
    }
    for (const SampleModel &m : f.models) chunk(*out, "MMMM", pack_model_body(m.model));
    for (const SampleHierarchy &h : f.hierarchies)
        chunk(*out, "BBBB", pack_hierarchy_body(tree_of(h, 0)));
    for (const SampleMotion &m : f.motions) chunk(*out, "AAAA", pack_motion_body(motion_of(m)));
    for (const SampleCollMesh &c : f.collmeshes) {
        std::vector<uint8_t> body = pack_collision_mesh_body(c.name, c.triangles, c.grid);
        if (body.empty()) {
            if (error) *error = "cannot pack the collision mesh " + c.name;
            return false;
        }
        chunk(*out, "CCCL", body);
    }
    for (const SampleShapeSet &s : f.shape_sets)
        chunk(*out, "SXZA", pack_shape_set_body(s.name, s.spheres));
    for (const PackCamera &c : f.cameras) chunk(*out, "CAMR", pack_camera_body(c));
    return true;
}

bool datagen_write_3d(const std::string &folder, std::string *error) {
    for (const SampleFile &f : datagen_3d_files()) {
        std::vector<uint8_t> bytes;
        if (!datagen_3d_bytes(f, &bytes, error)) return false;
        if (!pack_write_file(folder + f.group + ".bin", bytes)) {
            if (error) *error = "cannot write " + folder + f.group + ".bin";
            return false;
        }
    }
    return true;
}
