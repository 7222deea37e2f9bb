#include "math/spline.h"

namespace {

constexpr int kMaxKnots = 8;

} // namespace

int spline_cubic_setup(const float *xs, const float *ys, int n, float *h, float *m) {
    if (n < 1 || n >= kMaxKnots) return 0;
    float hh[kMaxKnots];
    for (int i = 1; i <= n; ++i) {
        hh[i] = xs[i] - xs[i - 1];
        if (!(hh[i] > 0.0f)) return 0; // zero, negative or NaN interval: not a spline
    }
    for (int i = 1; i <= n; ++i) h[i] = hh[i];
    if (n == 1) {
        // No interior row: a constant second derivative of 0 gives the straight line.
        m[0] = m[1] = 0.0f;
        return 1;
    }
    // Interior rows i = 1..n-1, each divided by h[i]:
    //   m[i-1] + D[i]*m[i] + r[i]*m[i+1] = R[i], with the end conditions m[0] = m[1] and
    //   m[n] = m[n-1] folded into the first and last diagonals.
    float r[kMaxKnots], D[kMaxKnots], R[kMaxKnots];
    for (int i = 1; i <= n - 1; ++i) {
        r[i] = h[i + 1] / h[i];
        D[i] = 2.0f * (r[i] + 1.0f);
        R[i] =
            6.0f * ((ys[i + 1] - ys[i]) / (h[i] * h[i + 1]) - (ys[i] - ys[i - 1]) / (h[i] * h[i]));
    }
    D[1] += 1.0f;
    D[n - 1] += r[n - 1];
    // Forward elimination (the sub-diagonal is 1), then back substitution.
    r[1] /= D[1];
    R[1] /= D[1];
    for (int i = 2; i <= n - 1; ++i) {
        float f = 1.0f / (D[i] - r[i - 1]);
        r[i] *= f;
        R[i] = (R[i] - R[i - 1]) * f;
    }
    m[n - 1] = R[n - 1];
    for (int i = n - 2; i >= 1; --i) m[i] = R[i] - m[i + 1] * r[i];
    m[0] = m[1];
    m[n] = m[n - 1];
    return 1;
}

float spline_cubic_eval(const float *xs, const float *ys, int count, float x) {
    if (!xs || !ys || count < 2 || count > kMaxKnots) return 0.0f;
    if (x < xs[0] || x > xs[count - 1]) return 0.0f;
    for (int i = 0; i < count; ++i)
        if (x == xs[i]) return ys[i];
    float kx[kMaxKnots], ky[kMaxKnots], h[kMaxKnots], m[kMaxKnots];
    for (int i = 0; i < count; ++i) {
        kx[i] = xs[i];
        ky[i] = ys[i];
    }
    int n = count - 1;
    if (!spline_cubic_setup(kx, ky, n, h, m)) return 0.0f;
    int i = 1;
    while (i <= n && !(kx[i - 1] <= x && x < kx[i])) ++i;
    if (i > n) return 0.0f; // NaN x
    float a = kx[i] - x;
    float b = x - kx[i - 1];
    float hi = h[i];
    float value =
        (m[i - 1] * a * a * a + m[i] * b * b * b + (6.0f * ky[i - 1] - hi * hi * m[i - 1]) * a +
         (6.0f * ky[i] - hi * hi * m[i]) * b) /
        hi / 6.0f;
    return value;
}
