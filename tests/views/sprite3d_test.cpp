// 3D sprites drawn through a render view's 3D range and read back from the view's texture:
// placement by the camera's projection, pivot, rotation, far-first blending, fog, lighting,
// beams and quads, culling; the draw calls they make; the kind's defaults and its guards.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "math/mat4.h"
#include "render/gfx_frame.h"
#include "render/gfx_state.h"
#include "render/gfx_texture.h"
#include "render/rtview.h"
#include "render/view.h"
#include "resource/res_texture.h"
#include "scene/node_queue.h"
#include "scene/node_settings.h"
#include "scene/object_manager.h"
#include "scene/sprite3d.h"
#include "views_test_env.h"

namespace {

constexpr int SIDE = 64;
constexpr uint32_t RED = 0xFFFF0000u, GREEN = 0xFF00FF00u, BLUE = 0xFF0000FFu;
constexpr uint32_t WHITE = 0xFFFFFFFFu, BLACK = 0xFF000000u;
constexpr double PI = 3.14159265358979323846;

class Sprites3D : public ::testing::Test {
  protected:
    RenderView *view = nullptr;
    void SetUp() override {
        ASSERT_TRUE(views_test_start());
        views_test_fresh();
        view = rtview_create(0, SIDE, SIDE, "sprites");
        ASSERT_NE(view, nullptr);
        view->clear_color = BLACK;
        view->range_3d[0] = view->range_3d[1] = SPRITE3D_LAYER;
        sprite3d_reset_stats();
    }
    void TearDown() override { views_test_fresh(); }
};

uint32_t texel(const RenderView *v, int x, int y) {
    return test_surface_pixel(res_get_texture(v->texture)->surface, x, y);
}

// An 8 x 8 texture of four solid 4 x 4 quadrants (red, green / blue, white): the linear filter
// of the draw leaves each quadrant's inside exact.
ResourceHandle quadrant_crop(void) {
    std::vector<uint32_t> texels(64);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            texels[y * 8 + x] = y < 4 ? (x < 4 ? RED : GREEN) : (x < 4 ? BLUE : WHITE);
    const ResourceHandle t = res_create_texture("t", "quadrants", 8, 8, 0);
    if (!t || !res_texture_fill(t, 0, 0, 8, 8, texels.data())) return 0;
    return res_create_crop("t", "quadrants", 0, 0, 8, 8, t);
}

// The default camera: eye (0, 0, 5) looking at the origin, vertical field of view pi/4, here
// through the square view, and its axes.
struct Camera {
    double eye[3], right[3], up[3], forward[3];
    double tan_half;
};

Camera default_camera(void) {
    const Mat4 *w = view_get_camera_matrix(0);
    Camera c;
    for (int i = 0; i < 3; ++i) {
        c.right[i] = w->m[0][i];
        c.up[i] = w->m[1][i];
        c.forward[i] = w->m[2][i];
        c.eye[i] = w->m[3][i];
    }
    c.tan_half = std::tan(PI / 8.0);
    return c;
}

// World units per pixel at distance 5 in the square view.
double unit_pixels(void) {
    return SIDE * 0.5 / (5.0 * std::tan(PI / 8.0));
}

bool near_colour(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = (int)((a >> shift) & 0xFF) - (int)((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

#define EXPECT_COLOUR(actual, expected, tolerance)                                                 \
    EXPECT_PRED3(near_colour, actual, expected, tolerance) << std::hex << (actual)

SceneObject *billboard(const Vec3 &p, float size, ResourceHandle crop, uint32_t colour) {
    return sprite3d_create(0, &p, 0.0f, size, crop, colour, 1);
}

} // namespace

TEST_F(Sprites3D, BillboardFacesTheCameraWithItsTextureUpright) {
    const ResourceHandle crop = quadrant_crop();
    ASSERT_NE(crop, 0u);
    SceneObject *s = billboard({0, 0, 0}, 2.0f, crop, WHITE);
    ASSERT_NE(s, nullptr);
    gfx_render_frame(0);
    // Half-extent in pixels: one unit at distance 5.
    const int q = (int)std::lround(unit_pixels() * 0.5); // quadrant centres
    EXPECT_EQ(texel(view, 32 - q, 32 - q), RED);
    EXPECT_EQ(texel(view, 32 + q, 32 - q), GREEN);
    EXPECT_EQ(texel(view, 32 - q, 32 + q), BLUE);
    EXPECT_EQ(texel(view, 32 + q, 32 + q), WHITE);
    const int edge = (int)std::ceil(unit_pixels()) + 1;
    EXPECT_EQ(texel(view, 32 + edge, 32), BLACK);
    EXPECT_EQ(texel(view, 32, 32 - edge), BLACK);

    // A quarter turn takes the top-left texel to the top right.
    sprite3d_set_rotation(s, (float)(PI / 2));
    gfx_render_frame(0);
    EXPECT_EQ(texel(view, 32 + q, 32 - q), RED);
    EXPECT_EQ(texel(view, 32 + q, 32 + q), GREEN);

    // Pivot at the bottom-left corner: the sprite stands up and right of the centre.
    sprite3d_set_rotation(s, 0.0f);
    sprite3d_set_pivot(s, 0.0f, 0.0f);
    gfx_render_frame(0);
    const int u = (int)std::lround(unit_pixels());
    EXPECT_EQ(texel(view, 32 + u / 2, 32 - u - u / 2), RED);
    EXPECT_EQ(texel(view, 32 + u / 2, 32 - u / 2), BLUE);
    EXPECT_EQ(texel(view, 38, 26), BLUE);
    EXPECT_EQ(texel(view, 30, 30), BLACK);
    EXPECT_EQ(texel(view, 33, 34), BLACK);
    EXPECT_EQ(sprite3d_stat_sprites(), 1u);
}

TEST_F(Sprites3D, HalfTransparentSpritesCompositeFarFirst) {
    // Created near first; drawn far first whatever the order of creation.
    billboard({0, 0, 1}, 1.0f, 0, 0x80FF0000u);
    billboard({0, 0, -1}, 1.0f, 0, 0x8000FF00u);
    gfx_render_frame(0);
    // Green (far) first, then red over it: red a = 128/255 over green at 128/255 over black.
    const double a = 128.0 / 255.0;
    const double g = 255.0 * a * (1.0 - a), r = 255.0 * a;
    const uint32_t expected =
        0xFF000000u | (uint32_t)std::lround(r) << 16 | (uint32_t)std::lround(g) << 8;
    EXPECT_COLOUR(texel(view, 32, 32) | 0xFF000000u, expected, 2);
}

TEST_F(Sprites3D, FogAppliesToPlainBlendsOnly) {
    view_set_fog_mode(0, 1);
    view_set_fog_start(0, 4.0f);
    view_set_fog_end(0, 6.0f);
    view_set_fog_color(0, 0xFF0000FFu);
    SceneObject *s = billboard({0, 0, 0}, 2.0f, 0, WHITE); // distance 5: half fogged
    gfx_render_frame(0);
    EXPECT_COLOUR(texel(view, 32, 32), 0xFF8080FFu, 1);

    sprite3d_set_blend(s, 2); // additive light is not fogged
    gfx_render_frame(0);
    EXPECT_COLOUR(texel(view, 32, 32), WHITE, 1);

    sprite3d_set_blend(s, 1);
    scenedraw_set_sprite_blend_override(1); // pair 7 for every sprite, no fog
    gfx_render_frame(0);
    EXPECT_COLOUR(texel(view, 32, 32), WHITE, 1);
    view_set_fog_mode(0, 0);
}

TEST_F(Sprites3D, LitBillboardCornersFollowTheLight) {
    const Vec3 dir = {0.3f, -0.5f, 0.8f};
    view_set_light_direct_dir(0, &dir, 100);
    view_step_frame(0);
    SceneObject *s = billboard({0, 0, 0}, 2.0f, 0, 0xFFC08040u);
    sprite3d_set_lit(s, 1);
    gfx_render_frame(0);

    // Corner colours: each channel times 1 - max(0.25, L . n), n the corner's normal in the
    // camera's axes; inside triangle 0-1-2 the colour is the corners' blend by barycentrics.
    const Camera c = default_camera();
    const double len = std::sqrt(0.09 + 0.25 + 0.64);
    const double L[3] = {0.3 / len, -0.5 / len, 0.8 / len};
    const double a = 1.0 / std::sqrt(3.0);
    const double n[3][2] = {{a, a}, {-a, a}, {a, -a}}; // corners 0, 1, 2
    double shade[3];
    for (int k = 0; k < 3; ++k) {
        double dot = 0;
        for (int i = 0; i < 3; ++i)
            dot += L[i] * (n[k][0] * c.right[i] + n[k][1] * c.up[i] + a * c.forward[i]);
        shade[k] = 1.0 - std::fmax(0.25, dot);
    }
    // Corners 0 (bottom-left), 1 (bottom-right), 2 (top-left) on the screen.
    const double h = unit_pixels();
    const double cx[3] = {32 - h, 32 + h, 32 - h}, cy[3] = {32 + h, 32 + h, 32 - h};
    const int px = 26, py = 34; // inside triangle 0-1-2
    const double x = px + 0.5, y = py + 0.5;
    const double det = (cy[1] - cy[2]) * (cx[0] - cx[2]) + (cx[2] - cx[1]) * (cy[0] - cy[2]);
    const double w0 = ((cy[1] - cy[2]) * (x - cx[2]) + (cx[2] - cx[1]) * (y - cy[2])) / det;
    const double w1 = ((cy[2] - cy[0]) * (x - cx[2]) + (cx[0] - cx[2]) * (y - cy[2])) / det;
    const double w2 = 1.0 - w0 - w1;
    ASSERT_GT(w0, 0.0);
    ASSERT_GT(w1, 0.0);
    ASSERT_GT(w2, 0.0);
    uint32_t expected = 0xFF000000u;
    const int channels[3] = {0xC0, 0x80, 0x40};
    for (int ch = 0; ch < 3; ++ch) {
        double v = 0;
        const double shades[3] = {shade[0], shade[1], shade[2]};
        for (int k = 0; k < 3; ++k)
            v += (k == 0 ? w0 : k == 1 ? w1 : w2) * std::floor(channels[ch] * shades[k]);
        expected |= (uint32_t)std::lround(v) << (16 - 8 * ch);
    }
    EXPECT_COLOUR(texel(view, px, py), expected, 2);
    view_set_light_direct_dir(0, nullptr, 0); // the override ends with the test
}

TEST_F(Sprites3D, BeamsAndQuads) {
    // Width 4: a band of 2 units across the beam; the caps take the ends off the view.
    const Vec3 a = {-3, 0, 0}, b = {3, 0, 0};
    SceneObject *beam = sprite3d_beam_create(0, &a, &b, 4.0f, WHITE, WHITE, 0, 1);
    ASSERT_NE(beam, nullptr);
    gfx_render_frame(0);
    const double u = unit_pixels();
    EXPECT_EQ(texel(view, 32, (int)(32 - u + 1.5)), WHITE);
    EXPECT_EQ(texel(view, 32, (int)(32 + u - 1.5)), WHITE);
    EXPECT_EQ(texel(view, 32, (int)(32 - u - 1.5)), BLACK);
    EXPECT_EQ(texel(view, 2, 32), WHITE);
    obj_destroy(beam);

    // A quad drawn through its placement equals the quad with the placement baked in.
    const Vec3 c0 = {-1, 1, 0}, c1 = {-1, -1, 0}, c2 = {1, 1, 0}, c3 = {1, -1, 0};
    SceneObject *q = sprite3d_quad_create(0, &c0, &c1, &c2, &c3, RED, GREEN, BLUE, WHITE, 0, 1);
    ASSERT_NE(q, nullptr);
    const Vec3 place = {0.3f, -0.2f, 0.5f}, scale = {1.2f, 0.7f, 1.0f};
    const EulerAngles turn = {0.2f, 0.3f, 0.4f};
    sprite3d_quad_set_placement(q, &place, &turn);
    sprite3d_quad_set_place_scale(q, &scale);
    sprite3d_quad_set_transform(q, 1);
    gfx_render_frame(0);
    std::vector<uint32_t> placed;
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) placed.push_back(texel(view, x, y));
    sprite3d_quad_bake_transform(q);
    EXPECT_EQ(sprite3d_quad_get_transform(q), 0u);
    gfx_render_frame(0);
    int drawn = 0, differ = 0;
    for (int y = 0; y < SIDE; ++y)
        for (int x = 0; x < SIDE; ++x) {
            drawn += placed[y * SIDE + x] != BLACK;
            differ += placed[y * SIDE + x] != texel(view, x, y);
        }
    EXPECT_GT(drawn, 200);
    EXPECT_EQ(differ, 0);
}

TEST_F(Sprites3D, CullingKeepsWhatReachesIntoViewAndDropsWhatIsNotFinite) {
    // Left of the left plane by 1.5 units at the screen's edge, with the pivot at its left
    // side: 0.5 units of it reach into the view.
    const Camera c = default_camera();
    const double half = 5.0 * std::tan(PI / 8.0) + 1.5;
    const Vec3 p = {(float)(-c.right[0] * half), (float)(-c.right[1] * half),
                    (float)(-c.right[2] * half)};
    SceneObject *edge = billboard(p, 2.0f, 0, GREEN);
    sprite3d_set_pivot(edge, 0.0f, 0.5f);
    SceneObject *bad = billboard({NAN, 0, 0}, 1.0f, 0, RED);
    SceneObject *centre = billboard({0, 0, 0}, 1.0f, 0, WHITE);
    ASSERT_TRUE(edge && bad && centre);
    gfx_render_frame(0);
    EXPECT_EQ(texel(view, 2, 32), GREEN);
    EXPECT_EQ(texel(view, 32, 32), WHITE);
    EXPECT_EQ(sprite3d_stat_sprites(), 2u);

    // Two more units out, the whole sphere about the pivot is outside: culled.
    const double further = half + 2.0;
    sprite3d_set_position(edge, (float)(-c.right[0] * further), (float)(-c.right[1] * further),
                          (float)(-c.right[2] * further));
    sprite3d_reset_stats();
    gfx_render_frame(0);
    EXPECT_EQ(texel(view, 2, 32), BLACK);
    EXPECT_EQ(sprite3d_stat_sprites(), 1u);
}

TEST_F(Sprites3D, DepthTestInsideTheView) {
    // Alpha-tested with depth writes: the near sprite hides the far one wherever it covers,
    // in whichever order they are drawn.
    scenedraw_set_alpha_ref_override(1);
    billboard({0, 0, 1}, 1.0f, 0, RED);    // near
    billboard({0, 0, -1}, 3.0f, 0, GREEN); // far, larger
    gfx_render_frame(0);
    EXPECT_EQ(texel(view, 32, 32), RED);
    EXPECT_EQ(texel(view, 32 + (int)unit_pixels(), 32), GREEN);
}

TEST_F(Sprites3D, DrawCallsFollowTheBatches) {
    gpu_trace_clear();
    std::vector<SceneObject *> all;
    for (int i = 0; i < OBJ_POOL_SIZE; ++i) { // the whole pool: one full batch
        SceneObject *s = billboard({0, 0, 0}, 0.1f, 0, WHITE);
        ASSERT_NE(s, nullptr);
        all.push_back(s);
    }
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);
    std::vector<uint32_t> triangles;
    for (const GpuTraceEntry &e : test_trace(GPU_TRACE_DRAW)) triangles.push_back(e.b);
    ASSERT_FALSE(triangles.empty());
    EXPECT_EQ(triangles[0], 2u * OBJ_POOL_SIZE);
    EXPECT_EQ(sprite3d_stat_batches(), 1u);
    for (SceneObject *s : all) obj_destroy(s);

    // Alternating textures: one draw per sprite.
    const ResourceHandle t1 = res_white_texture(), t2 = res_black_texture();
    for (int i = 0; i < 6; ++i)
        sprite3d_set_texture(billboard({0, 0, 0}, 0.1f, 0, WHITE), i & 1 ? t1 : t2);
    sprite3d_reset_stats();
    gfx_render_frame(0);
    EXPECT_EQ(sprite3d_stat_batches(), 6u);
    EXPECT_EQ(sprite3d_stat_sprites(), 6u);
}

TEST_F(Sprites3D, AllCulledDrawsNothingAndRestoresTheStates) {
    billboard({0, 0, 50}, 1.0f, 0, WHITE); // behind the camera
    gpu_trace_clear();
    gpu_trace_enable(true);
    gfx_render_frame(0);
    gpu_trace_enable(false);
    EXPECT_EQ(sprite3d_stat_batches(), 0u);
    EXPECT_EQ(sprite3d_stat_sprites(), 0u);
    uint32_t src = 0, dst = 0;
    gfx_blend_factors(1, &src, &dst);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_SRCBLEND), src);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_DESTBLEND), dst);
    EXPECT_EQ(gpu_get_render_state(GPU_RS_ALPHATESTENABLE), 0u);
    for (uint32_t stage = 1; stage < GFX_SAMPLER_STAGES; ++stage)
        EXPECT_EQ(gfx_sampler_cache(stage)->bound, nullptr);
}

TEST(Sprite3DSort, FarFirstWithoutOverrunningThePendingStack) {
    std::vector<SceneObject> objects(NODE_QUEUE_SIZE);
    std::vector<SceneObject *> list(NODE_QUEUE_SIZE);
    std::mt19937 random(7);
    for (int pattern = 0; pattern < 3; ++pattern) {
        for (int i = 0; i < NODE_QUEUE_SIZE; ++i) {
            float key = pattern == 1 ? 3.0f : (float)(random() % 100000) * 0.01f;
            if (pattern == 2 && i % 97 == 0) key = NAN;
            node_set_scratch_distance(&objects[i], key);
            list[i] = &objects[i];
        }
        sprite3d_sort_far_first(list.data(), NODE_QUEUE_SIZE);
        float last = INFINITY;
        for (SceneObject *o : list) {
            const float k = node_scratch_distance(o);
            if (std::isnan(k)) continue;
            // NaN keys (culled before any sort in the draw) only must not break the sort.
            if (pattern != 2) {
                EXPECT_LE(k, last);
            }
            last = k;
        }
        EXPECT_LE(node_sort_last_depth(), NODE_SORT_STACK);
    }
}

TEST_F(Sprites3D, KindDefaultsAndGuards) {
    SceneObject *s = sprite3d_create(0, nullptr, 0.0f, 1.0f, 0, WHITE, 1);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(sprite3d_kind_id(), 7); // after the 2D and the wire kinds, before the nodes
    EXPECT_EQ(s->kind, sprite3d_kind_id());
    EXPECT_EQ(s->layer, SPRITE3D_LAYER);
    const Sprite3D *p = obj_payload<Sprite3D>(s);
    EXPECT_EQ(p->head.sub_kind, SPRITE3D_BILLBOARD);
    EXPECT_EQ(p->head.blend, 1);
    EXPECT_EQ(p->head.depth_func, 3);
    EXPECT_EQ(p->head.texture, 0u);
    EXPECT_EQ(p->head.value_a, 1.0f);
    EXPECT_EQ(sprite3d_get_width(s), 1.0f);
    EXPECT_EQ(sprite3d_get_pivot_x(s), 0.5f);
    EXPECT_EQ(sprite3d_get_u1(s), 1.0f); // unknown crop: the whole texture
    EXPECT_EQ(sprite3d_get_colour(s), WHITE);
    const Vec3 *pos = sprite3d_position_ptr(s);
    EXPECT_EQ(pos->x, 0.0f);

    sprite3d_set_value_b(s, 1.5f);
    EXPECT_EQ(p->head.value_b, 1.0f);
    sprite3d_set_value_b(s, -2.0f);
    EXPECT_EQ(p->head.value_b, 0.0f);
    sprite3d_set_depth_offset(s, -2.0f);
    EXPECT_EQ(p->billboard.depth_offset, -2.0f);
    EXPECT_EQ(p->billboard.depth_key, -4.0f);
    uint8_t params[60];
    for (int i = 0; i < 60; ++i) params[i] = (uint8_t)(i + 1);
    sprite3d_set_shader(s, 3, params, 60);
    EXPECT_EQ(std::memcmp(p->head.shader_params, params, 40), 0);
    sprite3d_set_shader(s, 4, nullptr, 60); // no bytes: the set only
    EXPECT_EQ(p->head.shader_set, 4u);
    EXPECT_EQ(p->head.shader_params[39], 40);

    // Family and kind guards: nothing changes, getters give nothing.
    uint8_t before[OBJ_PAYLOAD_BYTES];
    std::memcpy(before, s->payload, sizeof before);
    sprite3d_beam_set_width(s, 9.0f);
    sprite3d_beam_set_blend(s, 5);
    sprite3d_quad_set_corner(s, 1, 2, 3, 0);
    sprite3d_quad_set_colours(s, RED);
    EXPECT_EQ(sprite3d_beam_start_ptr(s), nullptr);
    EXPECT_EQ(std::memcmp(before, s->payload, sizeof before), 0);
    SceneObject *plain = obj_create(0);
    ASSERT_NE(plain, nullptr);
    sprite3d_set_colour(plain, RED);
    sprite3d_set_position(plain, 1, 2, 3);
    EXPECT_EQ(sprite3d_position_ptr(plain), nullptr);
    EXPECT_EQ(sprite3d_get_width(nullptr), 0.0f);
    sprite3d_set_size(nullptr, 1, 1);
    for (uint8_t b : plain->payload) EXPECT_EQ(b, 0);

    // Corner indexes outside 0-3.
    SceneObject *q = sprite3d_quad_create_empty(0, 0, 1);
    ASSERT_NE(q, nullptr);
    std::memcpy(before, q->payload, sizeof before);
    for (int32_t i : {4, -1}) {
        sprite3d_quad_set_corner(q, 1, 2, 3, i);
        const Vec3 v = {1, 2, 3};
        sprite3d_quad_set_corner_v(q, &v, i);
        sprite3d_quad_set_uv(q, 1, 2, i);
        sprite3d_quad_set_uv2(q, 1, 2, i);
        sprite3d_quad_set_colour(q, RED, i);
        EXPECT_EQ(sprite3d_quad_corner_ptr(q, i), nullptr);
        EXPECT_EQ(sprite3d_quad_uv_ptr(q, i), nullptr);
        EXPECT_EQ(sprite3d_quad_uv2_ptr(q, i), nullptr);
        EXPECT_EQ(sprite3d_quad_get_colour(q, i), 0u);
    }
    EXPECT_EQ(std::memcmp(before, q->payload, sizeof before), 0);
    // Quad defaults: corners as a billboard leaves those bytes, UV pairs down the columns.
    EXPECT_EQ(sprite3d_quad_corner1_ptr(q)->x, 1.0f);
    EXPECT_EQ(sprite3d_quad_uv_1_ptr(q)[1], 1.0f);
    EXPECT_EQ(sprite3d_quad_get_colour3(q), WHITE);

    // A beam without end points runs from the origin to (1, 1, 0).
    SceneObject *b = sprite3d_beam_create(0, nullptr, nullptr, 2.0f, RED, BLUE, 0, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sprite3d_beam_end_ptr(b)->y, 1.0f);
    EXPECT_EQ(sprite3d_beam_get_cap(b), 2.0f);
    EXPECT_EQ(sprite3d_beam_get_v1(b), 1.0f);
}

TEST_F(Sprites3D, ScreenMappedCoordinatesOfACentredBillboard) {
    // The view's camera made current with a square viewport, as the view's 3D pass does.
    rtview_set_camera_viewport(0, 0, 0, SIDE, SIDE);
    view_set_current(0);
    SceneObject *s = billboard({0, 0, 0}, 1.0f, 0, WHITE);
    // Half the visible height at distance 5.
    const float h = (float)(5.0 * std::tan(PI / 8.0));
    sprite3d_set_size(s, h, h);
    sprite3d_set_screen_uv(s, 0, 0, 1, 0, 0);
    EXPECT_NEAR(sprite3d_get_u0(s), 0.25f, 1e-4f);
    EXPECT_NEAR(sprite3d_get_v0(s), 0.25f, 1e-4f);
    EXPECT_NEAR(sprite3d_get_u1(s), 0.75f, 1e-4f);
    EXPECT_NEAR(sprite3d_get_v1(s), 0.75f, 1e-4f);
    view_set_defaults();
}

TEST_F(Sprites3D, QuadShapesCropsAndBeamScreenCoordinates) {
    SceneObject *q = sprite3d_quad_create_empty(0, 0, 1);
    ASSERT_NE(q, nullptr);
    auto corner = [&](int i) { return *sprite3d_quad_corner_ptr(q, i); };
    auto expect = [](const Vec3 &v, float x, float y, float z) {
        EXPECT_NEAR(v.x, x, 1e-5f);
        EXPECT_NEAR(v.y, y, 1e-5f);
        EXPECT_NEAR(v.z, z, 1e-5f);
    };
    const Vec3 at = {1, 2, 3};
    sprite3d_quad_build_flat(q, &at, nullptr, 2, 4);
    expect(corner(0), 0, 2, 5);
    expect(corner(1), 0, 2, 1);
    expect(corner(2), 2, 2, 5);
    expect(corner(3), 2, 2, 1);

    // Ribbon along x, up y: sides along up x direction = -z, scaled by each end's width.
    const Vec3 p0 = {0, 0, 0}, p1 = {4, 0, 0}, up = {0, 1, 0};
    sprite3d_quad_build_ribbon(q, &p0, &up, 1, 0.5f, 2, &p1, &up, 2, 0, 0, 1);
    expect(corner(0), -0.5f, 2, 1);
    expect(corner(1), -0.5f, 2, -1);
    expect(corner(2), 4, 0, 2);
    expect(corner(3), 4, 0, -2);
    const Vec3 p2 = {2, 0, 0};
    sprite3d_quad_build_wall(q, &p0, &up, 3, 1, &p2, &up, 1, 0, 0);
    expect(corner(0), -1, 3, 0);
    expect(corner(1), 2, 1, 0);
    expect(corner(2), -1, 0, 0);
    expect(corner(3), 2, 0, 0);

    // A crop fills each family's UV layout.
    const ResourceHandle crop = res_make_crop("t", "part", 0.25f, 0.5f, 0.5f, 0.25f, nullptr);
    ASSERT_NE(crop, 0u);
    sprite3d_quad_set_crop(q, crop);
    EXPECT_EQ(sprite3d_quad_uv_1_ptr(q)[0], 0.25f);
    EXPECT_EQ(sprite3d_quad_uv_1_ptr(q)[1], 0.75f);
    EXPECT_EQ(sprite3d_quad_uv_2_ptr(q)[0], 0.75f);
    EXPECT_EQ(sprite3d_quad_uv_2_ptr(q)[1], 0.5f);
    SceneObject *s = billboard({0, 0, 0}, 1, crop, WHITE);
    EXPECT_EQ(sprite3d_get_u1(s), 0.75f);
    EXPECT_EQ(sprite3d_get_v1(s), 0.75f);
    sprite3d_set_crop2(s, 0); // unknown: no texture, the whole rectangle
    EXPECT_EQ(sprite3d_get_texture2(s), 0u);
    EXPECT_EQ(sprite3d_get_uv2_u1(s), 1.0f);

    // A beam whose ends meet on the screen lies along the screen's x axis: with no cap its
    // corners sit a quarter of the width above and below the point.
    rtview_set_camera_viewport(0, 0, 0, SIDE, SIDE);
    view_set_current(0);
    SceneObject *b = sprite3d_beam_create(0, &p0, &p0, 4, WHITE, WHITE, crop, 1);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(sprite3d_beam_get_u1(b), 0.75f);
    sprite3d_beam_set_cap(b, 0);
    sprite3d_beam_set_screen_uv(b, 0, 0, 1);
    const double dv = 0.5 / (5.0 * std::tan(PI / 8.0)); // one unit at distance 5, in v
    EXPECT_NEAR(sprite3d_beam_get_u0(b), 0.5f, 1e-5f);
    EXPECT_NEAR(sprite3d_beam_get_v0(b), 0.5 - dv, 1e-5);
    EXPECT_NEAR(sprite3d_beam_get_v1(b), 0.5 + dv, 1e-5);
    view_set_defaults();
}

TEST_F(Sprites3D, MirrorPassDrawsOnlyMirroredSprites) {
    SceneObject *shown = billboard({0, 0, 0}, 1.0f, 0, RED);
    billboard({0, 0, 0.5f}, 1.0f, 0, GREEN); // nearer, but not drawn in the mirror
    sprite3d_set_mirror(shown, 1);
    scenedraw_set_mirror_pass(1); // the view's pass takes the mirror camera, then resets it
    gfx_render_frame(0);
    EXPECT_EQ(sprite3d_stat_sprites(), 1u);
    EXPECT_EQ(texel(view, 32, 32), RED);
    gfx_render_frame(0); // an ordinary pass again: both, the nearer over the other
    EXPECT_EQ(sprite3d_stat_sprites(), 2u);
    EXPECT_EQ(texel(view, 32, 32), GREEN);
}

TEST(Sprite3DHelpers, ColoursAndDistances) {
    EXPECT_EQ(colour_shift_rgb(0x80FF8040u, 1), 0x807F4020u);
    EXPECT_EQ(colour_shift_rgb(0x80FF8040u, 33), 0x807F4020u); // n modulo 32
    EXPECT_EQ(colour_pack_bytes(0x12, 0x34, 0x56, 0x78), 0x78123456u);
    EXPECT_EQ(colour_pack_floats(1.5f, -1.0f, 0.5f, 1.0f), 0xFFFF007Fu); // clamped, truncated
    EXPECT_EQ(colour_lerp(0xFF000000u, 0x00FFFFFFu, 0.5f), 0x7F7F7F7Fu);
    EXPECT_EQ(colour_lerp(0xFF000000u, 0x00FFFFFFu, 2.0f), 0x00FFFFFFu);
    EXPECT_FLOAT_EQ(colour_red_f(0x00330000u), 0.2f);
    const Vec3 a = {1, 2, 3}, b = {4, 6, 3}, c = {1, 2, 3.000001f};
    EXPECT_FLOAT_EQ(sprite3d_distance(&a, &b), 5.0f);
    EXPECT_EQ(sprite3d_distance(&a, &c), 0.0f);
}

TEST_F(Sprites3D, OneFrameSpritesAndBeamCoordinates) {
    const Vec3 p = {0, 0, 0};
    ASSERT_NE(sprite3d_create_once(0, &p, 0, 1, 0, WHITE, 1, 0.5f), nullptr);
    ASSERT_NE(sprite3d_beam_create_once(0, &p, nullptr, 1, WHITE, WHITE, 0, 1), nullptr);
    EXPECT_EQ(obj_get_live_count(), 2);
    gfx_render_frame(0);
    EXPECT_EQ(sprite3d_stat_sprites(), 2u);
    EXPECT_EQ(obj_get_live_count(), 0);

    SceneObject *b = sprite3d_beam_create(0, nullptr, nullptr, 1, WHITE, WHITE, 0, 1);
    sprite3d_beam_set_uv(b, 0.1f, 0.2f, 0.3f, 0.4f);
    EXPECT_EQ(sprite3d_beam_get_u0(b), 0.1f);
    EXPECT_EQ(sprite3d_beam_get_v0(b), 0.2f);
    EXPECT_EQ(sprite3d_beam_get_u1(b), 0.3f);
    EXPECT_EQ(sprite3d_beam_get_v1(b), 0.4f);
    const Sprite3D *s = obj_payload<Sprite3D>(b);
    EXPECT_EQ(s->beam.uv[1][0], 0.3f); // end-left: (u1, v0)
    EXPECT_EQ(s->beam.uv[1][1], 0.2f);
}
