// The material a 3D node or attachment carries: four ARGB colours, the specular exponent and a
// factor that scales the colour terms handed to the shaders.
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
