#include "coll_test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

#include "render/gfx_frame.h"
#include "resource/chunks.h"
#include "resource/loader.h"
#include "tests/support/test_files.h"
#include "tests/support/test_render.h"
#include "tools/packer/packer.h"

void coll_test_start(void) {
    static bool started;
    if (!started) {
        ASSERT_TRUE(test_render_start("collision test", 64, 64));
        std::string dir = test_temp_folder("coll");
        ASSERT_FALSE(dir.empty());
        ASSERT_EQ(chdir(dir.c_str()), 0);
        ASSERT_EQ(mkdir("bin", 0755), 0);
        started = true;
    }
    ResourcePoolSizes s = *res_default_sizes();
    s.collmeshes = ResourcePoolSize{32, 4096, 8u << 20};
    s.shape_sets = ResourcePoolSize{16, 1024, 65536};
    res_init(&s);
    loader_reset();
    gfx_reset_scene();
}

bool coll_test_load(const std::string &name, uint32_t tag, const std::vector<uint8_t> &body) {
    std::vector<uint8_t> file;
    pack_append_chunk(file, tag, pack_expected_version(tag), body);
    if (!test_write_file("bin/" + name + ".bin", file)) return false;
    if (!loader_enqueue(name.c_str(), 0)) return false;
    int guard = 0;
    while (loader_step() == 1 && ++guard < 100) {
    }
    return guard < 100 && loader_request_loaded(name.c_str());
}

ResourceHandle coll_test_mesh(const std::string &name, const std::vector<PackCollTriangle> &tris,
                              const PackCollGrid &grid) {
    std::vector<uint8_t> body = pack_collision_mesh_body(name, tris, grid);
    if (body.empty() || !coll_test_load(name, CHUNK_TAG_COLLISION_MESH, body)) return 0;
    return res_find_collmesh(nullptr, name.c_str());
}

static PackCollTriangle tri(float ax, float ay, float az, float bx, float by, float bz, float cx,
                            float cy, float cz, uint32_t face) {
    return PackCollTriangle{{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}, face};
}

std::vector<PackCollTriangle> coll_test_floor(int n, float y, uint32_t face_base) {
    std::vector<PackCollTriangle> out;
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            float x0 = float(x), x1 = float(x + 1), z0 = float(z), z1 = float(z + 1);
            uint32_t face = face_base + uint32_t(z * n + x);
            // (b - a) x (c - a) points up for a -> +z -> +x.
            out.push_back(tri(x0, y, z0, x0, y, z1, x1, y, z0, face));
            out.push_back(tri(x1, y, z0, x0, y, z1, x1, y, z1, face));
        }
    return out;
}

std::vector<PackCollTriangle> coll_test_room(float h, float height) {
    std::vector<PackCollTriangle> out;
    // Each wall as two triangles whose normal points into the room.
    auto wall = [&](const float *p0, const float *p1, uint32_t face) {
        // p0 -> p1 along the floor; the inside lies to the left seen from above.
        out.push_back(tri(p0[0], 0, p0[1], p0[0], height, p0[1], p1[0], 0, p1[1], face));
        out.push_back(tri(p1[0], 0, p1[1], p0[0], height, p0[1], p1[0], height, p1[1], face));
    };
    const float c[4][2] = {{-h, -h}, {-h, h}, {h, h}, {h, -h}};
    for (int i = 0; i < 4; ++i) wall(c[i], c[(i + 1) % 4], 100 + uint32_t(i));
    return out;
}

std::vector<PackCollTriangle> coll_test_soup(int count, float lo, float hi, float size,
                                             uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> pos(lo, hi), off(-size, size);
    std::vector<PackCollTriangle> out;
    for (int i = 0; i < count; ++i) {
        float c[3] = {pos(rng), pos(rng), pos(rng)};
        PackCollTriangle t{};
        for (float *p : {t.a, t.b, t.c})
            for (int k = 0; k < 3; ++k) p[k] = c[k] + off(rng);
        t.face = 1000 + uint32_t(i);
        out.push_back(t);
    }
    return out;
}

std::vector<PackCollTriangle> coll_test_transformed(const std::vector<PackCollTriangle> &tris,
                                                    const Mat4 &m) {
    std::vector<PackCollTriangle> out = tris;
    for (PackCollTriangle &t : out)
        for (float *p : {t.a, t.b, t.c}) {
            double q[3];
            for (int j = 0; j < 3; ++j)
                q[j] = double(p[0]) * m.m[0][j] + double(p[1]) * m.m[1][j] +
                       double(p[2]) * m.m[2][j] + m.m[3][j];
            for (int j = 0; j < 3; ++j) p[j] = float(q[j]);
        }
    return out;
}

static void sub(double *o, const double *a, const double *b) {
    for (int k = 0; k < 3; ++k) o[k] = a[k] - b[k];
}
static double dot(const double *a, const double *b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
static void cross(double *o, const double *a, const double *b) {
    o[0] = a[1] * b[2] - a[2] * b[1];
    o[1] = a[2] * b[0] - a[0] * b[2];
    o[2] = a[0] * b[1] - a[1] * b[0];
}

// Distance from p to the line through a and b.
static double line_distance(const double *p, const double *a, const double *b) {
    double ab[3], ap[3], c[3];
    sub(ab, b, a);
    sub(ap, p, a);
    cross(c, ab, ap);
    double l = std::sqrt(dot(ab, ab));
    return l > 0 ? std::sqrt(dot(c, c)) / l : std::sqrt(dot(ap, ap));
}

BruteHit coll_test_brute_segment(const std::vector<PackCollTriangle> &tris, const double *s,
                                 const double *d) {
    BruteHit best{false, 2.0, -1, 0.0, 1e9};
    for (size_t i = 0; i < tris.size(); ++i) {
        double p[3][3];
        for (int k = 0; k < 3; ++k) {
            p[0][k] = tris[i].a[k];
            p[1][k] = tris[i].b[k];
            p[2][k] = tris[i].c[k];
        }
        double e1[3], e2[3], n[3], w[3];
        sub(e1, p[1], p[0]);
        sub(e2, p[2], p[0]);
        cross(n, e1, e2);
        double dn = dot(d, n);
        if (!(dn < 0)) continue; // only faces turned towards the segment
        sub(w, p[0], s);
        double t = dot(w, n) / dn;
        if (t < 0 || t > 1) continue;
        double q[3] = {s[0] + t * d[0], s[1] + t * d[1], s[2] + t * d[2]};
        bool inside = true;
        for (int e = 0; e < 3 && inside; ++e) {
            double edge[3], to[3], c[3];
            sub(edge, p[(e + 1) % 3], p[e]);
            sub(to, q, p[e]);
            cross(c, edge, to);
            inside = dot(c, n) >= 0;
        }
        if (!inside) continue;
        double margin = std::min({line_distance(q, p[0], p[1]), line_distance(q, p[1], p[2]),
                                  line_distance(q, p[2], p[0])});
        if (t < best.t) {
            best.second_gap = best.hit ? best.t - t : 1e9;
            best = BruteHit{true, t, int(i), margin, best.second_gap};
        } else if (t - best.t < best.second_gap) {
            best.second_gap = t - best.t;
        }
    }
    return best;
}
