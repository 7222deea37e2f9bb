// Float forms of the C runtime's functions as the library uses them: the float is widened to
// double, the double function runs, and the result is rounded back to float.
#pragma once

#include <cmath>

inline float crt_sinf(float x) {
    return (float)std::sin((double)x);
}
inline float crt_cosf(float x) {
    return (float)std::cos((double)x);
}
inline float crt_tanf(float x) {
    return (float)std::tan((double)x);
}
inline float crt_sqrtf(float x) {
    return (float)std::sqrt((double)x);
}
inline float crt_fabsf(float x) {
    return (float)std::fabs((double)x);
}
inline float crt_asinf(float x) {
    return (float)std::asin((double)x);
}
inline float crt_acosf(float x) {
    return (float)std::acos((double)x);
}
inline float crt_atanf(float x) {
    return (float)std::atan((double)x);
}
inline float crt_atan2f(float y, float x) {
    return (float)std::atan2((double)y, (double)x);
}

constexpr float kMathPi = 3.14159265f;
constexpr float kMathHalfPi = 1.57079633f;
