// Collision debug wire benchmark: the faces of a 97 x 97-tile terrain (18,818 triangles in the
// cells of a 97 x 1 x 97 grid) gathered as the debug wire's callback gathers them once a frame,
// by running index (each call counting from the first cell) and by one walk over the cells.
// Both must give the same faces in the same order; prints ms per frame for each.
// Usage: bench_coll_wire [frames]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "resource/chunks.h"
#include "resource/res_collmesh.h"
#include "resource/res_pools.h"
#include "tools/packer/pack_collision.h"

namespace {

double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// n x n tiles, two triangles each, gently rolling, each a little inside its unit square so
// that one cell of an n x 1 x n grid holds it whole.
std::vector<PackCollTriangle> terrain(int n) {
    std::vector<PackCollTriangle> out;
    auto h = [](int x, int z) { return 0.1f * float((x * 7 + z * 3) % 5); };
    for (int z = 0; z < n; ++z)
        for (int x = 0; x < n; ++x) {
            const float x0 = x + 0.05f, x1 = x + 0.95f, z0 = z + 0.05f, z1 = z + 0.95f;
            out.push_back({{x0, h(x, z), z0}, {x0, h(x, z + 1), z1}, {x1, h(x + 1, z), z0}, 0});
            out.push_back(
                {{x1, h(x + 1, z), z0}, {x0, h(x, z + 1), z1}, {x1, h(x + 1, z + 1), z1}, 1});
        }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20;
    ResourcePoolSizes sizes = *res_default_sizes();
    sizes.collmeshes = ResourcePoolSize{1, 64, 8u << 20};
    res_init(&sizes);
    std::vector<uint8_t> body = pack_collision_mesh_body("terrain", terrain(97), {97, 1, 97, -1});
    if (!chunk_load_collision_mesh("b", body.data(), uint32_t(body.size()), 0)) {
        std::fprintf(stderr, "mesh not made\n");
        return 1;
    }
    const ResourceHandle mesh = res_find_collmesh("b", "terrain");
    const int32_t n = res_collmesh_triangle_count(mesh);

    // The order check, then the timing of each way.
    std::vector<CollMeshTriangleInfo> by_index(n), walked;
    for (int32_t i = 0; i < n; ++i) res_collmesh_triangle(mesh, i, &by_index[i]);
    CollMeshWalk w;
    CollMeshTriangleInfo t;
    res_collmesh_walk_begin(&w, mesh);
    while (res_collmesh_walk_next(&w, &t)) walked.push_back(t);
    if (walked.size() != by_index.size() ||
        std::memcmp(walked.data(), by_index.data(), walked.size() * sizeof t) != 0) {
        std::fprintf(stderr, "the walk differs from the running index\n");
        return 1;
    }
    float sink = 0;
    double start = now_ms();
    for (int f = 0; f < frames; ++f)
        for (int32_t i = 0; i < n; ++i)
            if (res_collmesh_triangle(mesh, i, &t)) sink += t.normal.y;
    const double indexed = (now_ms() - start) / frames;
    start = now_ms();
    for (int f = 0; f < frames; ++f) {
        res_collmesh_walk_begin(&w, mesh);
        while (res_collmesh_walk_next(&w, &t)) sink += t.normal.y;
    }
    const double walk = (now_ms() - start) / frames;
    std::printf("%d triangles in %u cells: by index %.3f ms a frame, walked %.3f ms a frame "
                "(x%.0f)%s\n",
                n, 97u * 97u, indexed, walk, walk > 0 ? indexed / walk : 0.0, sink < 0 ? " " : "");
    res_shutdown();
    return 0;
}
