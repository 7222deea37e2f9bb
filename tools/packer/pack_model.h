// "MMMM" bodies (models) from a description of their arrays. The body is written as stored:
// a 112-byte header of 28 words, the material table, then the arrays the header points to.
// Nothing is checked here, so tests can write damaged bodies on purpose.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The five index arrays, in the order of the header and of the arrays they index.
enum PackModelIndex {
    PACK_INDEX_POSITION,
    PACK_INDEX_NORMAL,
    PACK_INDEX_TEXCOORD,
    PACK_INDEX_SKIN,
    PACK_INDEX_COLOR,
    PACK_INDEX_COUNT
};

// Four bone-index bytes and four weights (the generator keeps their sum at 1).
struct PackSkin {
    uint8_t bones[4];
    float weights[4];
};

// A material: its texture name ("" for none) and three words: the first and the last triangle
// it draws (last < first: none) and a third word kept as it is.
struct PackMaterial {
    std::string texture;
    uint32_t first_triangle, last_triangle, word;
};

struct PackModel {
    std::string name;
    std::vector<float> positions; // 3 floats each
    std::vector<float> normals;   // 3 floats each
    std::vector<float> texcoords; // 2 floats each
    std::vector<PackSkin> skins;
    std::vector<uint32_t> colors; // ARGB
    // Three entries per triangle in each used array; an empty array leaves its attribute out.
    // The triangle count is the position array's size / 3.
    std::vector<uint16_t> indices[PACK_INDEX_COUNT];
    std::vector<std::string> bone_names;
    std::vector<std::array<float, 16>> bone_offsets; // one row-vector matrix per bone
    std::vector<PackMaterial> materials;
};

// Header word numbers of the body, for tests that damage a written body.
constexpr int PACK_MODEL_TRIANGLES = 0;
constexpr int PACK_MODEL_INDEX_ARRAYS = 7; // five words
constexpr int PACK_MODEL_BONE_COUNT = 12;
constexpr int PACK_MODEL_BOX = 16;    // x lo, x hi, y lo, y hi, z lo, z hi
constexpr int PACK_MODEL_SPHERE = 22; // centre x, y, z, one more float (0)
constexpr int PACK_MODEL_RADIUS = 26;
constexpr int PACK_MODEL_MATERIALS = 27;
constexpr uint32_t PACK_MODEL_HEADER_SIZE = 112;

// The body; box and sphere come from the positions (the sphere is centred on the box).
std::vector<uint8_t> pack_model_body(const PackModel &model);
