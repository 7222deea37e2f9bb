// Scalar helpers: the table sine and cosine, estimate roots, lerp and clamp, min/max index.
#pragma once

#include <cstdint>

#include "math/math_types.h"

// The 65536-entry sine table: entry i = sin(2*pi*i/65536) rounded to float.
const float *mathf_sine_table();

// Table lookups without interpolation. Angles of 2*pi (360 degrees) land on index 65535.
float mathf_sin_table(float angle);
float mathf_cos_table(float angle);
float mathf_sin_table_deg(float degrees);
float mathf_cos_table_deg(float degrees);

// The table index the lookups use (exposed for tests and callers that keep indices).
uint32_t mathf_table_index(float angle);
uint32_t mathf_table_index_deg(float degrees);

// Processor estimates, about 12 bits exact.
float mathf_sqrt_fast(float x);
float mathf_rsqrt_fast(float x);
// Exact single-precision 1/sqrtf(x); 0 gives +infinity.
float mathf_rcp_sqrt(float x);

float mathf_lerp(float a, float b, float t);
float mathf_clamp(float value, float min, float max);
float mathf_clamp01(float value);

// Index of the largest and smallest element (ties keep the earlier index). Either output may be
// null. A count of 0 or less reads nothing and reports index 0.
void mathf_minmax_index_i32(const int32_t *values, int count, int *out_max, int *out_min);
void mathf_minmax_index_f32(const float *values, int count, int *out_max, int *out_min);

// The math value types have no constructor: this returns the value untouched.
template <typename T> inline T *mathf_noop_ctor(T *value) {
    return value;
}

float mathf_abs(float x);
float mathf_atan2_b(float y, float x);
