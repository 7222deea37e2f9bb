#include "math/mathf.h"

#include <cmath>

#include "math/crt_float.h"

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MATHF_HAVE_SSE 1
#endif

namespace {

// Index scales, numerator 65535: a full turn lands on index 65535, one step short.
constexpr float kRadianScale = 10430.21875f; // 65535 / (2 pi)
constexpr float kDegreeScale = 182.04167f;   // 65535 / 360

alignas(64) float s_sine_table[65536];

// Built before ordinary static initialisers run, so any start-up code may already use it.
__attribute__((constructor(101))) void build_sine_table() {
    const double step = 2.0 * 3.14159265358979323846 / 65536.0;
    for (int i = 0; i < 65536; ++i) s_sine_table[i] = (float)std::sin(step * (double)i);
    // Exact quarter turns (the double product is not exactly pi/2 etc.).
    s_sine_table[0] = 0.0f;
    s_sine_table[16384] = 1.0f;
    s_sine_table[32768] = 0.0f;
    s_sine_table[49152] = -1.0f;
}

// Truncate the product toward zero and keep its low 16 bits (two's complement). Products past
// the 32-bit range wrap the same way; NaN and infinities give index 0.
inline uint32_t table_index(double product) {
    if (std::fabs(product) < 2147483648.0) return (uint32_t)(int32_t)product & 0xFFFFu;
    if (!std::isfinite(product)) return 0;
    double wrapped = std::fmod(product, 65536.0); // exact; keeps the sign
    return (uint32_t)(int32_t)wrapped & 0xFFFFu;
}

} // namespace

const float *mathf_sine_table() {
    return s_sine_table;
}

uint32_t mathf_table_index(float angle) {
    return table_index((double)angle * kRadianScale);
}

uint32_t mathf_table_index_deg(float degrees) {
    return table_index((double)degrees * kDegreeScale);
}

float mathf_sin_table(float angle) {
    return s_sine_table[mathf_table_index(angle)];
}

float mathf_cos_table(float angle) {
    return s_sine_table[table_index((double)angle * kRadianScale + 16384.0)];
}

float mathf_sin_table_deg(float degrees) {
    return s_sine_table[mathf_table_index_deg(degrees)];
}

float mathf_cos_table_deg(float degrees) {
    return s_sine_table[table_index((double)degrees * kDegreeScale + 16384.0)];
}

float mathf_rsqrt_fast(float x) {
#ifdef MATHF_HAVE_SSE
    return _mm_cvtss_f32(_mm_rsqrt_ss(_mm_set_ss(x)));
#else
    return 1.0f / std::sqrt(x);
#endif
}

float mathf_sqrt_fast(float x) {
#ifdef MATHF_HAVE_SSE
    return _mm_cvtss_f32(_mm_rcp_ss(_mm_rsqrt_ss(_mm_set_ss(x))));
#else
    return std::sqrt(x);
#endif
}

float mathf_rcp_sqrt(float x) {
    return 1.0f / crt_sqrtf(x);
}

float mathf_lerp(float a, float b, float t) {
    return (b - a) * t + a;
}

float mathf_clamp(float value, float min, float max) {
    if (value < min) return min;
    if (value > max) return max;
    return value;
}

float mathf_clamp01(float value) {
    return mathf_clamp(value, 0.0f, 1.0f);
}

namespace {

template <typename T> void minmax_index(const T *values, int count, int *out_max, int *out_min) {
    int imax = 0, imin = 0;
    if (values && count > 0) {
        T vmax = values[0], vmin = values[0];
        for (int i = 1; i < count; ++i) {
            if (values[i] > vmax) {
                vmax = values[i];
                imax = i;
            }
            if (values[i] < vmin) {
                vmin = values[i];
                imin = i;
            }
        }
    }
    if (out_max) *out_max = imax;
    if (out_min) *out_min = imin;
}

} // namespace

void mathf_minmax_index_i32(const int32_t *values, int count, int *out_max, int *out_min) {
    minmax_index(values, count, out_max, out_min);
}

void mathf_minmax_index_f32(const float *values, int count, int *out_max, int *out_min) {
    minmax_index(values, count, out_max, out_min);
}

float mathf_abs(float x) {
    return crt_fabsf(x);
}

float mathf_atan2_b(float y, float x) {
    return crt_atan2f(y, x);
}
