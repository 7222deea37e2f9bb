// Math benchmark: the per-frame helpers against what they stand in for. The table sine and the
// estimate roots should beat the runtime's sine and square root; matrix products and inverses
// are timed for the bone and view code that runs them every frame. Prints ns per call.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "math/math.h"

namespace {

constexpr int kCount = 4096;
constexpr int kRounds = 400;

double now_ns() {
    using namespace std::chrono;
    return duration<double, std::nano>(steady_clock::now().time_since_epoch()).count();
}

template <typename F> double per_call_ns(F &&body) {
    double best = 1e300;
    for (int r = 0; r < 5; ++r) {
        double t0 = now_ns();
        for (int k = 0; k < kRounds; ++k) body();
        double t = (now_ns() - t0) / ((double)kRounds * kCount);
        if (t < best) best = t;
    }
    return best;
}

volatile float g_sink;

} // namespace

int main() {
    std::vector<float> values(kCount);
    for (int i = 0; i < kCount; ++i) values[i] = 0.001f + (float)i * 0.37f;
    std::vector<float> out(kCount);
    std::vector<Mat4> mats(kCount);
    for (int i = 0; i < kCount; ++i) {
        EulerAngles a = {0.001f * (float)i, 0.002f * (float)i, -0.003f * (float)i};
        Vec3 p = {(float)i, 1.0f, -2.0f};
        mat4_from_position_euler(&mats[i], &p, &a);
    }

    double table = per_call_ns([&] {
        for (int i = 0; i < kCount; ++i) out[i] = mathf_sin_table(values[i]);
        g_sink = out[kCount - 1];
    });
    double runtime = per_call_ns([&] {
        for (int i = 0; i < kCount; ++i) out[i] = (float)std::sin((double)values[i]);
        g_sink = out[kCount - 1];
    });
    double fast_sqrt = per_call_ns([&] {
        for (int i = 0; i < kCount; ++i) out[i] = mathf_sqrt_fast(values[i]);
        g_sink = out[kCount - 1];
    });
    double exact_sqrt = per_call_ns([&] {
        for (int i = 0; i < kCount; ++i) out[i] = mathf_rcp_sqrt(values[i]);
        g_sink = out[kCount - 1];
    });
    double multiply = per_call_ns([&] {
        Mat4 acc;
        mat4_identity(&acc);
        for (const Mat4 &m : mats) mat4_multiply(&acc, &acc, &m);
        g_sink = acc.m[0][0];
    });
    double inverse = per_call_ns([&] {
        float s = 0;
        Mat4 inv;
        for (const Mat4 &m : mats) s += mat4_inverse(&inv, &m)->m[3][0];
        g_sink = s;
    });

    std::printf("table sine      %7.2f ns   runtime sine %7.2f ns   ratio %.2f\n", table, runtime,
                runtime / table);
    std::printf("estimate sqrt   %7.2f ns   exact 1/sqrt %7.2f ns\n", fast_sqrt, exact_sqrt);
    std::printf("mat4_multiply   %7.2f ns\n", multiply);
    std::printf("mat4_inverse    %7.2f ns\n", inverse);
    return table < runtime ? 0 : 1;
}
