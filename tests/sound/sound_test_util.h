// Helpers for rendering the sound layer's output on the loopback device.
#pragma once
#include <cmath>
#include <cstdint>
#include <vector>
#include <gtest/gtest.h>
#include "platform/sound/sound_buffer.h"
#include "platform/sound/sound_device.h"

struct Rendered {
    std::vector<float> left, right;
};

inline Rendered render_frames(uint32_t frames) {
    std::vector<float> interleaved((size_t)frames * 2);
    EXPECT_TRUE(sndl_loopback_render(interleaved.data(), frames));
    Rendered r;
    r.left.resize(frames);
    r.right.resize(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        r.left[i] = interleaved[2 * i];
        r.right[i] = interleaved[2 * i + 1];
    }
    return r;
}

inline double rms(const std::vector<float> &v, size_t from = 0, size_t to = SIZE_MAX) {
    if (to > v.size()) to = v.size();
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += (double)v[i] * v[i];
    return to > from ? std::sqrt(sum / (double)(to - from)) : 0.0;
}

inline double peak(const std::vector<float> &v, size_t from = 0, size_t to = SIZE_MAX) {
    if (to > v.size()) to = v.size();
    double p = 0;
    for (size_t i = from; i < to; ++i) p = std::fmax(p, std::fabs(v[i]));
    return p;
}

// Whether the peak of every `window`-frame stretch of `side` in [from, to) lies within 1 dB of
// `level`. With a window of at least one period of a tone, the peak is the tone's amplitude.
inline ::testing::AssertionResult level_within_1db(const std::vector<float> &side, size_t from,
                                                   size_t to, double level, size_t window) {
    const double db = std::pow(10.0, 1.0 / 20.0);
    for (size_t w = from; w + window <= to && w + window <= side.size(); w += window) {
        double p = peak(side, w, w + window);
        if (!(p >= level / db && p <= level * db))
            return ::testing::AssertionFailure()
                   << "frames " << w << ".." << w + window << " peak at " << p
                   << ", not within 1 dB of " << level;
    }
    return ::testing::AssertionSuccess();
}

// Sign changes, ignoring samples too quiet to count.
inline int zero_crossings(const std::vector<float> &v, size_t from, size_t to) {
    int count = 0, last = 0;
    for (size_t i = from; i < to && i < v.size(); ++i) {
        int sign = v[i] > 1e-4f ? 1 : v[i] < -1e-4f ? -1 : 0;
        if (sign && last && sign != last) ++count;
        if (sign) last = sign;
    }
    return count;
}

// 16-bit mono sine samples.
inline std::vector<int16_t> sine16(uint32_t rate, float hz, float seconds, float amplitude = 0.5f) {
    std::vector<int16_t> s((size_t)(rate * seconds));
    for (size_t i = 0; i < s.size(); ++i)
        s[i] =
            (int16_t)std::lrint(32767.0 * amplitude * std::sin(2.0 * M_PI * hz * (double)i / rate));
    return s;
}

inline SndlBuffer *make_buffer(const std::vector<int16_t> &samples, uint32_t rate, uint32_t flags,
                               uint16_t channels = 1) {
    SndlFormat f{channels, 16, rate};
    uint32_t bytes = (uint32_t)(samples.size() * 2);
    SndlBuffer *b = sndl_buffer_create(&f, bytes, flags);
    if (b) {
        EXPECT_TRUE(sndl_buffer_write(b, samples.data(), bytes));
    }
    return b;
}

class LoopbackTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(sndl_device_open_loopback()); }
    void TearDown() override { sndl_device_close(); }
};
