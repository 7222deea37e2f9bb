// Model reading benchmark: a terrain of 128 x 128 quads (32,768 triangles, 16,641 positions)
// read with welding, smoothed normals and tangents, and the smoothing alone against the scan
// over every pair of positions that the grid replaces; then a fan of 32,768 triangles whose
// apex is written once per triangle (32,768 copies of one position) read with smoothed
// normals. Prints milliseconds per read (the best of a few rounds).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "resource/model_reader.h"
#include "tools/packer/pack_model.h"

namespace {

constexpr int kSide = 128;

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

template <typename F> double best_ms(int rounds, F &&body) {
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        const double t0 = now_ms();
        body();
        best = std::fmin(best, now_ms() - t0);
    }
    return best;
}

PackModel terrain(void) {
    PackModel m;
    m.name = "terrain_NRx";
    const int n = kSide + 1;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            m.positions.insert(
                m.positions.end(),
                {x * 0.1f, 0.2f * std::sin(x * 0.3f) * std::cos(y * 0.2f), y * 0.1f});
            m.texcoords.insert(m.texcoords.end(), {x / 8.0f, y / 8.0f});
        }
    m.normals = {0, 1, 0};
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const uint16_t a = static_cast<uint16_t>(y * n + x), b = a + 1,
                           c = static_cast<uint16_t>(a + n), d = c + 1;
            for (uint16_t i : {a, c, b, b, c, d}) {
                m.indices[PACK_INDEX_POSITION].push_back(i);
                m.indices[PACK_INDEX_NORMAL].push_back(0);
                m.indices[PACK_INDEX_TEXCOORD].push_back(i);
            }
        }
    m.materials = {{"ground", 0, kSide * kSide * 2 - 1, 0}};
    return m;
}

// The scan the grid replaces: every pair of positions, each position summing the sums of the
// positions within the tolerance of it.
void smooth_by_scan(const std::vector<float> &pos, const std::vector<float> &own,
                    std::vector<double> *acc) {
    const size_t n = pos.size() / 3;
    for (size_t a = 0; a < n; ++a)
        for (size_t b = 0; b < n; ++b) {
            float d = 0.0f;
            for (int k = 0; k < 3; ++k) {
                const float e = pos[a * 3 + k] - pos[b * 3 + k];
                d += e * e;
            }
            if (d < 2.5e-5f)
                for (int k = 0; k < 3; ++k) (*acc)[a * 3 + k] += own[b * 3 + k];
        }
}

// A fan of `triangles` triangles round the y axis: the apex (0, 1, 0) is a new position in
// every triangle, the rim 1,024 positions on the unit circle; apex corners carry their face's
// normal, rim corners the rim's outward normal.
PackModel apex_fan(int triangles) {
    constexpr int RIM = 1024;
    PackModel m;
    m.name = "fan";
    for (int t = 0; t < triangles; ++t) m.positions.insert(m.positions.end(), {0, 1, 0});
    for (int i = 0; i < RIM; ++i) {
        const float a = 6.2831853f * i / RIM;
        m.positions.insert(m.positions.end(), {std::cos(a), 0, std::sin(a)});
        m.normals.insert(m.normals.end(), {std::cos(a), 0, std::sin(a)});
    }
    for (int t = 0; t < triangles; ++t) {
        const float a = 6.2831853f * (t + 0.5f) / triangles;
        m.normals.insert(m.normals.end(), {0.7f * std::cos(a), 0.7f, 0.7f * std::sin(a)});
        const uint16_t r0 = static_cast<uint16_t>(t % RIM),
                       r1 = static_cast<uint16_t>((t + 1) % RIM);
        for (uint16_t p : {static_cast<uint16_t>(t), static_cast<uint16_t>(triangles + r1),
                           static_cast<uint16_t>(triangles + r0)})
            m.indices[PACK_INDEX_POSITION].push_back(p);
        for (uint16_t n : {static_cast<uint16_t>(RIM + t), r1, r0})
            m.indices[PACK_INDEX_NORMAL].push_back(n);
    }
    m.materials = {{"", 0, static_cast<uint32_t>(triangles - 1), 0}};
    return m;
}

} // namespace

int main() {
    const PackModel m = terrain();
    const std::vector<uint8_t> body = pack_model_body(m);
    const uint32_t size = static_cast<uint32_t>(body.size());
    ModelReadout r;
    const double plain = best_ms(5, [&] { model_read(&r, body.data(), size, "g", 0, 0); });
    const double full = best_ms(5, [&] { model_read(&r, body.data(), size, "g", 1, 1); });
    std::printf("read %u triangles into %u vertices: %.2f ms; with smoothed normals and "
                "tangents: %.2f ms\n",
                kSide * kSide * 2, r.desc.vertex_count, plain, full);

    const uint32_t positions = static_cast<uint32_t>(m.positions.size() / 3);
    std::vector<uint32_t> cp32;
    for (uint16_t i : m.indices[PACK_INDEX_POSITION]) cp32.push_back(i);
    std::vector<float> normals(3 * cp32.size(), 0.0f);
    for (size_t k = 0; k < cp32.size(); ++k) normals[k * 3 + 1] = 1.0f;
    std::vector<float> out;
    const double grid = best_ms(5, [&] {
        model_smooth_normals(m.positions.data(), positions, cp32.data(), normals.data(),
                             static_cast<uint32_t>(cp32.size()), &out);
    });
    std::vector<double> acc(m.positions.size(), 0.0);
    std::vector<float> own(m.positions.size(), 0.0f);
    for (uint32_t p : cp32) own[p * 3 + 1] += 1.0f;
    const double scan = best_ms(1, [&] { smooth_by_scan(m.positions, own, &acc); });
    std::printf("smoothing %u positions: grid %.2f ms, scan over every pair %.1f ms\n", positions,
                grid, scan);

    constexpr int kFan = 32768;
    const std::vector<uint8_t> fan = pack_model_body(apex_fan(kFan));
    const char *why = nullptr;
    const double apex = best_ms(
        3, [&] { why = model_read(&r, fan.data(), static_cast<uint32_t>(fan.size()), "g", 1, 0); });
    if (why) {
        std::printf("fan of %d triangles with %d copies of its apex: refused (%s)\n", kFan, kFan,
                    why);
        return 1;
    }
    std::printf("fan of %d triangles with %d copies of its apex, smoothed normals: %.2f ms\n", kFan,
                kFan, apex);
    return 0;
}
