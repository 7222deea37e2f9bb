// Reference matrix arithmetic in double precision for tests: row-vector 4 x 4 matrices as 16
// doubles, written out independently of the math library under test.
#pragma once
#include <array>

using TestMat = std::array<double, 16>;

// The 16 floats of a matrix (row-major) widened to doubles.
inline TestMat test_mat_of(const float *m) {
    TestMat r;
    for (int i = 0; i < 16; ++i) r[i] = m[i];
    return r;
}

// a x b: a applied first to a row vector, then b.
inline TestMat test_mat_product(const TestMat &a, const TestMat &b) {
    TestMat r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r[i * 4 + j] += a[i * 4 + k] * b[k * 4 + j];
    return r;
}
