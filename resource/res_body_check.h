// Checks shared by the validators of the 3D bodies (hierarchies, motions, camera tracks,
// collision meshes, shape sets): how large a stored number may be, and where a body's tables
// and names may lie.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>

#include "math/math_types.h"

// Largest magnitude accepted for a coordinate, radius, matrix element or key value of a stored
// 3D body (NaN and infinities are refused with it); models hold their values to the same 1e9.
// Past it a float no longer resolves steps of 64 units, so no real scene places anything
// there; below it every use the engine makes of stored values (differences of two, squared
// lengths, cross and triple products of differences, up to fourth powers: (2e9)^4 x 4 is
// about 6.4e37 against the float range's 3.4e38) stays finite, so a query or bound built on a
// body never overflows to infinity or NaN.
constexpr float RES_VALUE_LIMIT = 1e9f;

// False for NaN (the comparison fails), infinities and finite values past the limit.
inline bool res_value_ok(float v) {
    return std::fabs(v) <= RES_VALUE_LIMIT;
}
inline bool res_vec_ok(const Vec3 &v) {
    return res_value_ok(v.x) && res_value_ok(v.y) && res_value_ok(v.z);
}
inline bool res_vec_finite(const Vec3 &v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}
// `count` floats from `p` (any alignment), each within the limit.
bool res_values_ok(const uint8_t *p, uint64_t count);

// Byte ranges of one body. Tables must lie at or after the end of the body's fixed header and
// not overlap one another; names (texts with their terminating zero) must lie after the header
// and outside every table, though names may share bytes with other names. Empty tables take
// no room and are not checked.
struct BodyRange {
    uint64_t start, end;
};
struct BodyRanges {
    uint32_t header; // bytes of the fixed header
    bool refused;
    std::vector<BodyRange> tables, texts;
};

inline BodyRanges res_ranges_start(uint32_t header) {
    return BodyRanges{header, false, {}, {}};
}
void res_ranges_table(BodyRanges *r, uint64_t start, uint64_t bytes);
// The text at `offset` must end inside the body; false (and the body refused) otherwise.
bool res_ranges_text(BodyRanges *r, const uint8_t *body, uint32_t size, uint32_t offset);
// True when every range added keeps the rules above.
bool res_ranges_ok(BodyRanges *r);
