// The material a 3D node or attachment carries: four ARGB colours, the specular exponent and a
// factor that scales the colour terms handed to the shaders. Beside it each node keeps a
// default-material flag, 1 exactly while all six fields hold their defaults.
#pragma once

#include <cstdint>

struct NodeMaterial {
    uint32_t ambient;  // default 0x00FFFFFF
    uint32_t diffuse;  // default 0xFFFFFFFF
    uint32_t emissive; // default 0
    uint32_t specular; // default 0
    float power;       // specular exponent, default 0.0
    float factor;      // default 1.0
};
static_assert(sizeof(NodeMaterial) == 24, "six 32-bit fields");

constexpr NodeMaterial NODE_MATERIAL_DEFAULTS = {0x00FFFFFFu, 0xFFFFFFFFu, 0, 0, 0.0f, 1.0f};

bool node_material_is_default(const NodeMaterial *material);

// Setters shared by every node kind and attachment: each stores its field(s) and returns the
// recomputed default-material flag, which the caller stores beside the material.
uint16_t node_material_set_all(NodeMaterial *material, uint32_t ambient, uint32_t diffuse,
                               uint32_t emissive, uint32_t specular, float power, float factor);
uint16_t node_material_set_ambient(NodeMaterial *material, uint32_t argb);
uint16_t node_material_set_diffuse(NodeMaterial *material, uint32_t argb);
uint16_t node_material_set_emissive(NodeMaterial *material, uint32_t argb);
uint16_t node_material_set_specular(NodeMaterial *material, uint32_t argb, float power);
uint16_t node_material_set_factor(NodeMaterial *material, float factor);
