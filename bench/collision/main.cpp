// Collision benchmark: segment and ground-height queries through the grid and node hierarchy
// against a loop over every triangle with the same exact test, on a 500-triangle soup and on a
// 20,000-triangle terrain. Both sides must find the same hits; prints ns per query and the
// speed-up.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "collision/coll_geom.h"
#include "collision/coll_mesh.h"
#include "resource/res_collmesh.h"
#include "tools/packer/pack_collision.h"

namespace {

double now_ns() {
    using namespace std::chrono;
    return duration<double, std::nano>(steady_clock::now().time_since_epoch()).count();
}

struct Mesh {
    std::vector<uint8_t> body;
    CollisionMeshRecord record{};
    std::vector<CollMeshTriangle> all; // every triangle, for the loop
};

bool make_mesh(Mesh *m, const std::vector<PackCollTriangle> &tris, const PackCollGrid &grid) {
    m->body = pack_collision_mesh_body("bench", tris, grid);
    if (!res_collmesh_validate(m->body.data(), uint32_t(m->body.size()))) return false;
    m->record.data = m->body.data();
    m->record.size = uint32_t(m->body.size());
    const CollMeshHeader *h = res_collmesh_header(&m->record);
    for (uint32_t i = 0; i < h->cell_count; ++i) {
        const CollMeshCell *c = res_collmesh_cell(&m->record, h, i);
        for (uint32_t j = 0; j < c->triangle_count; ++j)
            m->all.push_back(*res_collmesh_cell_triangle(&m->record, c, j));
    }
    for (uint32_t i = 0; i < h->large_count; ++i)
        m->all.push_back(res_collmesh_large(&m->record, h, i)->triangle);
    return m->all.size() == tris.size();
}

// The nearest front-facing hit over every triangle: t, or 2 for none.
float brute_segment(const Mesh &m, const Vec3 &s, const Vec3 &d) {
    CollSegment g;
    coll_segment_init(&g, &s, &d);
    float best = 2.0f;
    for (const CollMeshTriangle &t : m.all) {
        float hit;
        if (coll_segment_triangle(&g, &t.a, &t.b, &t.c, &t.normal, &hit) && hit < best) best = hit;
    }
    return best;
}

struct Query {
    Vec3 s, d;
};

struct Result {
    double fast_ns, brute_ns;
    int hits, brute_hits;
};

Result run(const Mesh &m, const std::vector<Query> &queries, bool ground) {
    Result r{0, 0, 0, 0};
    double t0 = now_ns();
    for (const Query &q : queries) {
        CollMeshHit hit;
        bool found = ground ? coll_mesh_ground(&m.record, nullptr, &q.s, &hit)
                            : coll_mesh_segment(&m.record, nullptr, &q.s, &q.d, false, &hit);
        r.hits += found;
    }
    r.fast_ns = (now_ns() - t0) / queries.size();
    t0 = now_ns();
    for (const Query &q : queries) r.brute_hits += brute_segment(m, q.s, q.d) <= 1.0f;
    r.brute_ns = (now_ns() - t0) / queries.size();
    return r;
}

void report(const char *what, const Result &r) {
    std::printf("%-34s %9.0f ns  loop %10.0f ns  speed-up %6.1fx  hits %d / %d\n", what, r.fast_ns,
                r.brute_ns, r.brute_ns / r.fast_ns, r.hits, r.brute_hits);
}

} // namespace

int main() {
    std::mt19937 rng(1);
    auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(rng);
    };

    // A 500-triangle soup in a 4 x 4 x 4 grid.
    std::vector<PackCollTriangle> soup;
    for (int i = 0; i < 500; ++i) {
        float c[3] = {uniform(0, 10), uniform(0, 10), uniform(0, 10)};
        PackCollTriangle t{};
        for (float *p : {t.a, t.b, t.c})
            for (int k = 0; k < 3; ++k) p[k] = c[k] + uniform(-1.6f, 1.6f);
        t.face = uint32_t(i);
        soup.push_back(t);
    }
    // A 100 x 100 terrain of rolling hills, two triangles a tile, in a 10 x 1 x 10 grid.
    std::vector<PackCollTriangle> terrain;
    auto height = [](float x, float z) { return 3.0f * std::sin(x * 0.13f) * std::cos(z * 0.11f); };
    for (int z = 0; z < 100; ++z)
        for (int x = 0; x < 100; ++x) {
            float x0 = float(x), x1 = x0 + 1, z0 = float(z), z1 = z0 + 1;
            PackCollTriangle a = {
                {x0, height(x0, z0), z0}, {x0, height(x0, z1), z1}, {x1, height(x1, z0), z0}, 1};
            PackCollTriangle b = {
                {x1, height(x1, z0), z0}, {x0, height(x0, z1), z1}, {x1, height(x1, z1), z1}, 2};
            terrain.push_back(a);
            terrain.push_back(b);
        }
    Mesh soup_mesh, terrain_mesh;
    if (!make_mesh(&soup_mesh, soup, {4, 4, 4, -1}) ||
        !make_mesh(&terrain_mesh, terrain, {10, 1, 10, -1})) {
        std::fprintf(stderr, "bench_collision: cannot build the meshes\n");
        return 1;
    }

    std::vector<Query> soup_segments(100000), terrain_segments(100000);
    // Segments of a step's length: a moving object's path over one frame.
    for (Query &q : soup_segments)
        q = {{uniform(-1, 11), uniform(-1, 11), uniform(-1, 11)},
             {uniform(-2, 2), uniform(-2, 2), uniform(-2, 2)}};
    for (Query &q : terrain_segments)
        q = {{uniform(0, 100), uniform(-2, 5), uniform(0, 100)},
             {uniform(-2, 2), uniform(-3, 1), uniform(-2, 2)}};
    std::vector<Query> soup_ground(10000), terrain_ground(10000);
    for (Query &q : soup_ground) q = {{uniform(0, 10), 11.0f, uniform(0, 10)}, {0, -10000, 0}};
    for (Query &q : terrain_ground) q = {{uniform(0, 100), 5.0f, uniform(0, 100)}, {0, -10000, 0}};

    std::printf(
        "bench_collision: per query, hierarchy and grid against a loop over every triangle\n");
    Result results[4] = {run(soup_mesh, soup_segments, false), run(soup_mesh, soup_ground, true),
                         run(terrain_mesh, terrain_segments, false),
                         run(terrain_mesh, terrain_ground, true)};
    report("soup (500): 100,000 segments", results[0]);
    report("soup (500): 10,000 ground heights", results[1]);
    report("terrain (20,000): 100,000 segments", results[2]);
    report("terrain (20,000): 10,000 ground heights", results[3]);
    for (const Result &r : results)
        if (r.hits != r.brute_hits) {
            std::fprintf(stderr, "bench_collision: the two sides disagree on the hits\n");
            return 1;
        }
    return 0;
}
