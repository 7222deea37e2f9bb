// Seeded random 2D scenes drawn twice over two frames, once with layers 10-39 allowed to go
// straight into the back buffer and once forced through the layer target: the presented
// windows must be equal pixel for pixel. A scene that differs is shrunk to the objects that
// still make it differ; those are printed with the seed, the frame and the size of the
// difference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "frame_test_env.h"
#include "render/gfx_frame.h"
#include "render/gfx_state.h"
#include "render/rtview.h"
#include "render/text_queue.h"
#include "render/view.h"
#include "render/view_light.h"
#include "resource/res_texture.h"
#include "scene/object_manager.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"

namespace {

constexpr int W = FRAME_TEST_WIDTH, H = FRAME_TEST_HEIGHT;
constexpr int SCENES = 500;
constexpr int FRAMES = 2;
constexpr int NO_RANGE = -1;
constexpr int LAYER_TARGET = -2; // a picture or second texture that is the layer target
// Billboards are placed with the camera a view's 3D range sets up; drawn in a 2D range they
// would take whatever camera the last 3D pass left, from the scene before. So they get a layer
// of their own that only 3D ranges reach, and no 2D range goes beyond layer 50.
constexpr int BILLBOARD_LAYER = 55;

// Small textures of distinct texels, point-sampled unless a sprite asks otherwise: a texel
// taken from the neighbouring row or column shows as another colour.
struct TestTexture {
    const char *name;
    int w, h;
    std::vector<uint32_t> texels;
};

const std::vector<TestTexture> &test_textures(void) {
    static const std::vector<TestTexture> textures = {
        {"one", 1, 1, {0xFF40C080u}},
        {"quad", 2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}},
        {"alpha", 2, 2, {0x80FF0000u, 0x00000000u, 0xFF00FFFFu, 0x40FFFF40u}},
        {"grid",
         4,
         4,
         {0xFF000000u, 0xFF550000u, 0xFFAA0000u, 0xFFFF0000u, 0xFF005500u, 0xFF555500u, 0xFFAA5500u,
          0xFFFF5500u, 0xFF0000AAu, 0xFF5500AAu, 0xFFAA00AAu, 0xC0FF00AAu, 0xFF00FFFFu, 0x8055FFFFu,
          0xFFAAFFFFu, 0x00FFFFFFu}},
    };
    return textures;
}

// Crops of the 4 x 4 grid in its texels; a negative width mirrors.
struct CropRect {
    float x, y, w, h;
};
const CropRect Crops[] = {{0, 0, 2, 2}, {1, 1, 2, 3}, {3, 0, -2, 2}, {0, 2, 4, 2}, {2, 1, 1, 1}};
constexpr int CROP_COUNT = sizeof(Crops) / sizeof(Crops[0]);

enum Kind {
    RECT,           // untextured sprite
    TEXTURE,        // sprite of a test texture
    CROP,           // sprite of a crop of the grid texture
    TARGET_SAMPLER, // sprite of the layer target
    VIEW_PICTURE,   // sprite of a render view's texture or crop
    LINE,
    TRIANGLE,
    TEXT, // bitmap or outline text queued each frame
    BILLBOARD,
    VIEW,
};

const char *const KindNames[] = {
    "rect sprite", "texture sprite",  "crop sprite", "layer-target sprite", "render-view sprite",
    "screen line", "screen triangle", "text",        "3D billboard",        "render view"};

struct Item {
    Kind kind = RECT;
    int layer = 0;
    int sub_order = -1; // -1: the default
    int blend = 0;
    float x = 0, y = 0, w = 0, h = 0; // w, h 0: the picture's own size
    float ax = 0, ay = 0, sx = 1, sy = 1, rotation = 0;
    uint32_t colour[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    int picture = 0; // test texture, crop, or the item index of a view, by kind
    bool crop_of_view = false;
    int second = -1; // second texture: -1 none, LAYER_TARGET, else a test texture
    int filter = SPRITE2D_FILTER_AUTO;
    uint8_t uv_turn = 0, uv_flip = 0;
    bool screen_uvs = false; // the target sampled where the sprite lies on the screen
    int16_t clip[4] = {0, 0, 0, 0};
    float p[6] = {0, 0, 0, 0, 0, 0}; // line and triangle points; billboard x, y, z
    float move[2] = {0, 0};          // moved by this much before the second frame
    int view_w = 0, view_h = 0;
    int ranges[3][2] = {{NO_RANGE, NO_RANGE}, {NO_RANGE, NO_RANGE}, {NO_RANGE, NO_RANGE}};
    int font = 0;
    bool outline = false;
    std::string text;
};

struct Scene {
    uint32_t seed = 0;
    uint32_t background = 0;
    std::vector<Item> items;
};

bool covers(const Item &view, int layer) {
    for (const auto &r : view.ranges)
        if (r[0] != NO_RANGE && layer >= r[0] && layer <= r[1]) return true;
    return false;
}

// ---------------------------------------------------------------------------------------------
// Random scenes

class SceneMaker {
  public:
    explicit SceneMaker(uint32_t seed) : rng(seed) { scene.seed = seed; }

    Scene make(void) {
        scene.background = (uint32_t)rng() & 0xFFFFFFu;
        const int views = pick(4); // 0-3
        for (int i = 0; i < views; ++i) add_view(false);
        const int count = 5 + pick(12);
        for (int i = 0; i < count; ++i) add_object();
        // Every billboard needs a view with a 3D range to be seen.
        bool billboard = false, shown = false;
        for (const Item &it : scene.items) {
            billboard |= it.kind == BILLBOARD;
            shown |= it.kind == VIEW && it.ranges[1][0] != NO_RANGE;
        }
        if (billboard && !shown) add_view(true);
        return scene;
    }

  private:
    std::mt19937 rng;
    Scene scene;

    int pick(int n) { return (int)(rng() % (uint32_t)n); }
    bool chance(int percent) { return pick(100) < percent; }

    // Integer, half- and quarter-pixel positions.
    float position(int extent) {
        static const float Fractions[] = {0.0f, 0.5f, 0.25f, 0.75f};
        return (float)(pick(extent + 20) - 10) + Fractions[pick(4)];
    }

    uint32_t colour(void) {
        static const uint32_t Alphas[] = {0xFF, 0xFF, 0x80, 0x40, 0xC0};
        const uint32_t a = chance(80) ? Alphas[pick(5)] : (uint32_t)pick(256);
        return a << 24 | ((uint32_t)rng() & 0xFFFFFFu);
    }

    // Back-buffer layers, the layer target's, and beyond 39 (seen only through views).
    int layer(void) {
        const int r = pick(100);
        if (r < 25) return 5 + pick(5);
        if (r < 85) return 10 + pick(30);
        return 40 + pick(11);
    }

    float scale(void) {
        static const float Scales[] = {1, 1, 2, 0.5f, 1.5f, 3, -1, -2, 0.75f, 4};
        return Scales[pick(10)];
    }

    float rotation(void) {
        static const float Angles[] = {0.0f, 1.5707964f, 3.1415927f, 0.7853982f, 0.3f, -1.1f};
        return chance(60) ? 0.0f : Angles[pick(6)];
    }

    void sprite_common(Item &it) {
        it.layer = layer();
        it.blend = pick(GFX_BLEND_PAIR_COUNT);
        it.colour[0] = chance(40) ? 0xFFFFFFFFu : colour();
        it.x = position(W);
        it.y = position(H);
        static const float Anchors[] = {0.0f, 0.5f, 1.0f, 0.25f};
        it.ax = Anchors[pick(4)];
        it.ay = Anchors[pick(4)];
        it.sx = scale();
        it.sy = chance(50) ? it.sx : scale();
        it.rotation = rotation();
        static const int Filters[] = {SPRITE2D_FILTER_AUTO, SPRITE2D_FILTER_POINT,
                                      SPRITE2D_FILTER_POINT, SPRITE2D_FILTER_LINEAR};
        it.filter = Filters[pick(4)];
        if (chance(25)) {
            it.uv_turn = (uint8_t)pick(4);
            static const uint8_t Flips[] = {0, SPRITE2D_FLIP_U, SPRITE2D_FLIP_V,
                                            SPRITE2D_FLIP_U | SPRITE2D_FLIP_V};
            it.uv_flip = Flips[pick(4)];
        }
        if (chance(20)) {
            it.clip[0] = (int16_t)pick(W);
            it.clip[1] = (int16_t)pick(H);
            it.clip[2] = (int16_t)(1 + pick(W));
            it.clip[3] = (int16_t)(1 + pick(H));
        }
        if (chance(15)) it.second = chance(30) ? LAYER_TARGET : pick((int)test_textures().size());
        if (it.layer == GFX_LAYER_TARGET_LAYER && chance(70)) it.sub_order = pick(16);
        if (chance(25)) {
            it.move[0] = (float)(pick(9) - 4) * 0.5f;
            it.move[1] = (float)(pick(9) - 4) * 0.25f;
        }
    }

    void add_view(bool with_3d) {
        Item v;
        v.kind = VIEW;
        v.view_w = 8 + pick(57);
        v.view_h = 8 + pick(57);
        v.colour[0] = colour();
        static const int Ranges[][2] = {{5, 9},  {7, 7},   {5, 12}, {10, 39}, {20, 30}, {40, 50},
                                        {6, 45}, {12, 12}, {0, 50}, {8, 40},  {7, 20},  {3, 7}};
        constexpr int RANGE_COUNT = sizeof(Ranges) / sizeof(Ranges[0]);
        const int first = pick(RANGE_COUNT);
        v.ranges[0][0] = Ranges[first][0];
        v.ranges[0][1] = Ranges[first][1];
        if (with_3d || chance(25)) v.ranges[1][0] = v.ranges[1][1] = BILLBOARD_LAYER;
        if (chance(35)) {
            const int last = pick(RANGE_COUNT);
            v.ranges[2][0] = Ranges[last][0];
            v.ranges[2][1] = Ranges[last][1];
        }
        scene.items.push_back(v);
        const int index = (int)scene.items.size() - 1;
        const int pictures = 1 + pick(2);
        for (int i = 0; i < pictures; ++i) add_view_picture(index);
    }

    // A sprite of a view's picture on a layer the view does not draw: a view never samples
    // the texture it draws into.
    void add_view_picture(int view) {
        Item it;
        it.kind = VIEW_PICTURE;
        sprite_common(it);
        it.picture = view;
        it.crop_of_view = chance(30);
        for (int tries = 0; tries < 20 && covers(scene.items[(size_t)view], it.layer); ++tries)
            it.layer = layer();
        if (covers(scene.items[(size_t)view], it.layer)) return;
        if (it.second == LAYER_TARGET) it.second = -1;
        scene.items.push_back(it);
    }

    void add_object(void) {
        Item it;
        const int r = pick(100);
        if (r < 18) {
            it.kind = RECT;
            sprite_common(it);
            it.w = (float)(1 + pick(60)) + (chance(30) ? 0.5f : 0.0f);
            it.h = (float)(1 + pick(50)) + (chance(30) ? 0.25f : 0.0f);
        } else if (r < 38) {
            it.kind = TEXTURE;
            sprite_common(it);
            it.picture = pick((int)test_textures().size());
            if (chance(60)) { // magnified texels
                it.w = (float)(2 + pick(40));
                it.h = (float)(2 + pick(40));
            }
        } else if (r < 52) {
            it.kind = CROP;
            sprite_common(it);
            it.picture = pick(CROP_COUNT);
            if (chance(50)) {
                it.sx *= (float)(1 + pick(8));
                it.sy *= (float)(1 + pick(8));
            }
        } else if (r < 60) {
            it.kind = TARGET_SAMPLER;
            sprite_common(it);
            // Inside 10-39 it samples the target while the target is drawn: the frame goes
            // through the target either way, so both runs draw it alike.
            it.layer = chance(50) ? 5 + pick(5) : chance(50) ? 40 + pick(11) : 10 + pick(30);
            it.screen_uvs = chance(40);
            if (it.second == LAYER_TARGET) it.second = -1;
        } else if (r < 72) {
            it.kind = LINE;
            it.layer = layer();
            it.blend = pick(GFX_BLEND_PAIR_COUNT);
            it.colour[0] = colour();
            it.colour[1] = chance(50) ? it.colour[0] : colour();
            for (int i = 0; i < 4; ++i) it.p[i] = position(i % 2 ? H : W);
            if (chance(30)) it.p[3] = it.p[1]; // level
            if (chance(20)) it.p[2] = it.p[0]; // upright
            if (chance(20)) {
                it.move[0] = 0.5f;
                it.move[1] = 0.25f;
            }
        } else if (r < 84) {
            it.kind = TRIANGLE;
            it.layer = layer();
            it.blend = pick(GFX_BLEND_PAIR_COUNT);
            for (int i = 0; i < 3; ++i) it.colour[i] = colour();
            if (chance(40)) it.colour[1] = it.colour[2] = it.colour[0];
            for (int i = 0; i < 6; ++i) it.p[i] = position(i % 2 ? H : W);
            if (chance(20)) {
                it.move[0] = -0.5f;
                it.move[1] = 0.5f;
            }
        } else if (r < 93) {
            it.kind = TEXT;
            it.colour[0] = colour();
            it.x = (float)(pick(W + 20) - 10);
            it.y = (float)(pick(H + 20) - 10);
            it.outline = chance(25);
            it.font = it.outline ? 0 : pick(TEXT_FONT_COUNT);
            static const char *const Texts[] = {"A", "Hi!", "0123", "frame", "W_W", "|/-\\"};
            it.text = Texts[pick(6)];
            if (chance(30)) it.move[0] = 1;
        } else {
            it.kind = BILLBOARD;
            it.layer = BILLBOARD_LAYER;
            it.blend = pick(GFX_BLEND_PAIR_COUNT);
            it.colour[0] = colour();
            it.picture = pick(CROP_COUNT);
            it.p[0] = (float)(pick(9) - 4) * 0.5f;
            it.p[1] = (float)(pick(9) - 4) * 0.5f;
            it.p[2] = (float)(pick(5) - 2) * 0.5f;
            it.w = 0.5f + (float)pick(6) * 0.5f;
            it.rotation = rotation();
        }
        scene.items.push_back(it);
    }
};

// ---------------------------------------------------------------------------------------------
// Words for what a scene holds

std::string hex(uint32_t v) {
    char buf[16];
    snprintf(buf, sizeof(buf), "0x%08X", v);
    return buf;
}

std::string range_words(const int r[2]) {
    if (r[0] == NO_RANGE) return "none";
    std::ostringstream s;
    s << r[0] << "-" << r[1];
    return s.str();
}

std::string describe(const Scene &scene, size_t index) {
    const Item &it = scene.items[index];
    std::ostringstream s;
    s << "#" << index << " " << KindNames[it.kind];
    switch (it.kind) {
        case VIEW:
            s << " " << it.view_w << "x" << it.view_h << " clear " << hex(it.colour[0])
              << ", 2D range " << range_words(it.ranges[0]) << ", 3D range "
              << range_words(it.ranges[1]) << ", last range " << range_words(it.ranges[2]);
            return s.str();
        case TEXT:
            s << (it.outline ? " (outline font " : " (bitmap font ") << it.font << ") \"" << it.text
              << "\" at (" << it.x << ", " << it.y << ") colour " << hex(it.colour[0]);
            break;
        case LINE:
            s << " on layer " << it.layer << ", blend pair " << it.blend << ", (" << it.p[0] << ", "
              << it.p[1] << ") " << hex(it.colour[0]) << " to (" << it.p[2] << ", " << it.p[3]
              << ") " << hex(it.colour[1]);
            break;
        case TRIANGLE:
            s << " on layer " << it.layer << ", blend pair " << it.blend;
            for (int i = 0; i < 3; ++i)
                s << (i ? ", (" : ", corners (") << it.p[2 * i] << ", " << it.p[2 * i + 1] << ") "
                  << hex(it.colour[i]);
            break;
        case BILLBOARD:
            s << " on layer " << it.layer << ", blend pair " << it.blend << ", grid crop "
              << it.picture << " at (" << it.p[0] << ", " << it.p[1] << ", " << it.p[2] << ") size "
              << it.w << " turned " << it.rotation << ", colour " << hex(it.colour[0]);
            return s.str();
        default:
            if (it.kind == TEXTURE) {
                const TestTexture &t = test_textures()[(size_t)it.picture];
                s << " '" << t.name << "' (" << t.w << "x" << t.h << ")";
            } else if (it.kind == CROP) {
                const CropRect &c = Crops[it.picture];
                s << " of grid texels (" << c.x << ", " << c.y << ") size " << c.w << "x" << c.h;
            } else if (it.kind == VIEW_PICTURE) {
                s << " of view #" << it.picture << (it.crop_of_view ? " (its crop)" : "");
            } else if (it.kind == TARGET_SAMPLER && it.screen_uvs) {
                s << " (uvs from the screen)";
            }
            s << " on layer " << it.layer;
            if (it.sub_order >= 0) s << " sub-order " << it.sub_order;
            s << ", blend pair " << it.blend << ", at (" << it.x << ", " << it.y << ")";
            if (it.w != 0) s << " size " << it.w << "x" << it.h;
            s << " anchor (" << it.ax << ", " << it.ay << ") scale (" << it.sx << ", " << it.sy
              << ")";
            if (it.rotation != 0) s << " turned " << it.rotation;
            s << ", colour " << hex(it.colour[0]) << ", filter " << it.filter;
            if (it.uv_turn || it.uv_flip)
                s << ", uv turn " << (int)it.uv_turn << " flip " << (int)it.uv_flip;
            if (it.clip[2])
                s << ", clip (" << it.clip[0] << ", " << it.clip[1] << ") " << it.clip[2] << "x"
                  << it.clip[3];
            if (it.second == LAYER_TARGET) s << ", second texture the layer target";
            if (it.second >= 0) s << ", second texture '" << test_textures()[it.second].name << "'";
            break;
    }
    if (it.move[0] != 0 || it.move[1] != 0)
        s << ", moved by (" << it.move[0] << ", " << it.move[1] << ") for frame 2";
    return s.str();
}

// ---------------------------------------------------------------------------------------------
// Drawing a scene

struct Frames {
    std::vector<uint32_t> window[FRAMES];
    GfxFramePath path[FRAMES] = {GFX_PATH_NONE, GFX_PATH_NONE};
};

struct Difference {
    int pixels = 0;
    int largest = 0; // largest channel difference
    int x0 = W, y0 = H, x1 = -1, y1 = -1;
    int first_x = -1, first_y = -1;
    uint32_t first_direct = 0, first_target = 0;
};

Difference compare(const std::vector<uint32_t> &direct, const std::vector<uint32_t> &target) {
    Difference d;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const uint32_t a = direct[(size_t)y * W + x] & 0xFFFFFFu;
            const uint32_t b = target[(size_t)y * W + x] & 0xFFFFFFu;
            if (a == b) continue;
            if (d.pixels++ == 0)
                d.first_x = x, d.first_y = y, d.first_direct = a, d.first_target = b;
            d.largest = std::max(d.largest, test_color_distance(a, b));
            d.x0 = std::min(d.x0, x), d.y0 = std::min(d.y0, y);
            d.x1 = std::max(d.x1, x), d.y1 = std::max(d.y1, y);
        }
    return d;
}

class Drawer {
  public:
    void make_resources(void) {
        textures.clear();
        for (const TestTexture &t : test_textures()) {
            const ResourceHandle h = res_create_texture("diff", t.name, t.w, t.h, 0);
            ASSERT_NE(h, 0u) << t.name;
            ASSERT_TRUE(res_texture_fill(h, 0, 0, t.w, t.h, t.texels.data())) << t.name;
            textures.push_back(h);
        }
        crops.clear();
        for (int i = 0; i < CROP_COUNT; ++i) {
            const std::string name = "grid_" + std::to_string(i);
            const CropRect &c = Crops[i];
            const ResourceHandle h =
                res_create_crop("diff", name.c_str(), c.x, c.y, c.w, c.h, textures[3]);
            ASSERT_NE(h, 0u) << name;
            crops.push_back(h);
        }
    }

    // Both runs of a scene start alike: a fresh scene, then one empty frame through the layer
    // target. The target keeps its texels from frame to frame and a render view that draws its
    // sprite reads them; that frame leaves it cleared in either run, whatever the scene before
    // drew, so the two runs have the same history and differ only in the path asked for.
    Frames run(const Scene &scene, const std::vector<bool> &keep, bool direct) {
        fresh();
        gfx_set_clear_color(scene.background);
        gfx_allow_direct_layers(false);
        gfx_render_frame(0);

        build(scene, keep);
        gfx_allow_direct_layers(direct);
        Frames f;
        for (int frame = 0; frame < FRAMES; ++frame) {
            if (frame > 0) move(scene);
            queue_text(scene, keep, frame);
            gfx_render_frame(0);
            f.window[frame] = frame_test_presented();
            f.path[frame] = gfx_last_frame_path();
        }
        return f;
    }

  private:
    std::vector<ResourceHandle> textures, crops;
    std::vector<SceneObject *> objects;
    std::vector<RenderView *> views;

    static void fresh(void) {
        frame_test_fresh();
        // Lights back to their defaults, so no transition runs on from the scene before.
        for (int v = 0; v < VIEW_COUNT; ++v) {
            view_light_set_defaults(v);
            view_set_light_direct_dir(v, nullptr, 0);
            view_step_light(v);
        }
    }

    static bool kept(const Scene &scene, const std::vector<bool> &keep, size_t i) {
        if (!keep[i]) return false;
        const Item &it = scene.items[i];
        return it.kind != VIEW_PICTURE || keep[(size_t)it.picture];
    }

    ResourceHandle picture(const Item &it) {
        switch (it.kind) {
            case TEXTURE:
                return textures[(size_t)it.picture];
            case TARGET_SAMPLER:
                return gfx_layer_target()->texture;
            case VIEW_PICTURE: {
                const RenderView *v = views[(size_t)it.picture];
                return it.crop_of_view ? v->crop : v->texture;
            }
            default:
                return 0;
        }
    }

    SceneObject *sprite(const Item &it) {
        SceneObject *o = nullptr;
        const uint32_t c = it.colour[0];
        if (it.kind == RECT) {
            o = sprite2d_create_rect(0, c, it.x, it.y, it.w, it.h, it.ax, it.ay, it.sx, it.sy,
                                     it.layer);
        } else if (it.kind == CROP || (it.kind == VIEW_PICTURE && it.crop_of_view)) {
            const ResourceHandle crop = it.kind == CROP ? crops[(size_t)it.picture] : picture(it);
            o = sprite2d_create_crop(0, crop, c, it.x, it.y, it.ax, it.ay, it.sx, it.sy, it.layer);
        } else {
            o = sprite2d_create_texture(0, picture(it), c, it.x, it.y, it.ax, it.ay, it.sx, it.sy,
                                        it.layer);
        }
        if (!o) return nullptr;
        if (it.w != 0 && it.kind != RECT) sprite2d_set_size(o, it.w, it.h);
        sprite2d_set_blend(o, (uint16_t)it.blend);
        sprite2d_set_rotation(o, it.rotation);
        sprite2d_set_filter(o, it.filter);
        sprite2d_set_uv_turn(o, it.uv_turn, it.uv_flip);
        if (it.clip[2]) sprite2d_set_clip(o, it.clip[0], it.clip[1], it.clip[2], it.clip[3]);
        if (it.second == LAYER_TARGET)
            sprite2d_set_texture2_full(o, gfx_layer_target()->texture);
        else if (it.second >= 0)
            sprite2d_set_texture2_full(o, textures[(size_t)it.second]);
        if (it.screen_uvs) sprite2d_uv_from_screen(o, 0, 0, 1);
        if (it.sub_order >= 0) obj_set_sub_order(o, it.sub_order);
        return o;
    }

    void build(const Scene &scene, const std::vector<bool> &keep) {
        objects.assign(scene.items.size(), nullptr);
        views.assign(scene.items.size(), nullptr);
        for (size_t i = 0; i < scene.items.size(); ++i) {
            if (!kept(scene, keep, i)) continue;
            const Item &it = scene.items[i];
            SceneObject *o = nullptr;
            switch (it.kind) {
                case VIEW: {
                    RenderView *v = rtview_create(0, it.view_w, it.view_h,
                                                  ("diff" + std::to_string(i)).c_str());
                    ASSERT_NE(v, nullptr);
                    v->clear_color = it.colour[0];
                    for (int r = 0; r < 2; ++r) {
                        v->first_range[r] = it.ranges[0][r];
                        v->range_3d[r] = it.ranges[1][r];
                        v->last_range[r] = it.ranges[2][r];
                    }
                    views[i] = v;
                    continue;
                }
                case TEXT:
                    continue; // queued each frame
                case LINE:
                    o = obj_create(0);
                    ASSERT_NE(o, nullptr);
                    obj_set_kind(o, line2d_kind_id());
                    line2d_set_points(o, it.p[0], it.p[1], it.p[2], it.p[3]);
                    line2d_set_colors(o, it.colour[0], it.colour[1]);
                    line2d_set_blend(o, (uint32_t)it.blend);
                    line2d_show(o);
                    obj_set_layer(o, it.layer);
                    break;
                case TRIANGLE:
                    o = obj_create(0);
                    ASSERT_NE(o, nullptr);
                    obj_set_kind(o, tri2d_kind_id());
                    tri2d_set_points(o, it.p[0], it.p[1], it.p[2], it.p[3], it.p[4], it.p[5]);
                    tri2d_set_colors(o, it.colour[0], it.colour[1], it.colour[2]);
                    tri2d_set_blend(o, (uint32_t)it.blend);
                    o->flags |= OBJ_FLAG_VISIBLE;
                    obj_set_layer(o, it.layer);
                    break;
                case BILLBOARD: {
                    const Vec3 at = {it.p[0], it.p[1], it.p[2]};
                    o = sprite3d_create(0, &at, it.rotation, it.w, crops[(size_t)it.picture],
                                        it.colour[0], (uint8_t)it.blend);
                    obj_set_layer(o, it.layer);
                    break;
                }
                default:
                    o = sprite(it);
                    break;
            }
            ASSERT_NE(o, nullptr) << describe(scene, i);
            objects[i] = o;
        }
    }

    void move(const Scene &scene) {
        for (size_t i = 0; i < scene.items.size(); ++i) {
            const Item &it = scene.items[i];
            SceneObject *o = objects[i];
            if (!o || (it.move[0] == 0 && it.move[1] == 0)) continue;
            const float dx = it.move[0], dy = it.move[1];
            if (it.kind == LINE)
                line2d_set_points(o, it.p[0] + dx, it.p[1] + dy, it.p[2] + dx, it.p[3] + dy);
            else if (it.kind == TRIANGLE)
                tri2d_set_points(o, it.p[0] + dx, it.p[1] + dy, it.p[2] + dx, it.p[3] + dy,
                                 it.p[4] + dx, it.p[5] + dy);
            else if (it.kind != BILLBOARD)
                sprite2d_set_position(o, it.x + dx, it.y + dy);
        }
    }

    static void queue_text(const Scene &scene, const std::vector<bool> &keep, int frame) {
        for (size_t i = 0; i < scene.items.size(); ++i) {
            const Item &it = scene.items[i];
            if (it.kind != TEXT || !keep[i]) continue;
            const int x = (int)it.x + (frame > 0 ? (int)it.move[0] : 0);
            const int32_t queue =
                it.outline ? gfx_get_outline_text_queue() : gfx_get_bitmap_text_queue();
            text_printf_font(queue, it.font, x, (int)it.y, it.colour[0], "%s", it.text.c_str());
        }
    }
};

const char *path_name(GfxFramePath p) {
    switch (p) {
        case GFX_PATH_DIRECT:
            return "direct";
        case GFX_PATH_LAYER_TARGET:
            return "layer target";
        default:
            return "none";
    }
}

class FrameDifferentialTest : public FrameWindowTest {
  protected:
    void SetUp() override {
        FrameWindowTest::SetUp();
        drawer.make_resources();
    }

    Drawer drawer;

    struct Outcome {
        Frames direct, target;
        Difference diff[FRAMES];
        bool differs = false;
    };

    Outcome both_ways(const Scene &scene, const std::vector<bool> &keep) {
        Outcome o;
        o.direct = drawer.run(scene, keep, true);
        o.target = drawer.run(scene, keep, false);
        for (int f = 0; f < FRAMES; ++f) {
            EXPECT_EQ(o.target.path[f], GFX_PATH_LAYER_TARGET) << "scene seed " << scene.seed;
            o.diff[f] = compare(o.direct.window[f], o.target.window[f]);
            o.differs |= o.diff[f].pixels > 0;
        }
        return o;
    }

    static std::string frame_words(const Outcome &o) {
        std::ostringstream s;
        for (int f = 0; f < FRAMES; ++f) {
            const Difference &d = o.diff[f];
            s << "  frame " << f + 1 << " (direct run took the " << path_name(o.direct.path[f])
              << " path): ";
            if (d.pixels == 0) {
                s << "same\n";
                continue;
            }
            s << d.pixels << " pixels differ, largest channel difference " << d.largest
              << ", within (" << d.x0 << ", " << d.y0 << ")-(" << d.x1 << ", " << d.y1
              << "), first at (" << d.first_x << ", " << d.first_y << "): direct "
              << hex(d.first_direct).substr(4) << ", through the target "
              << hex(d.first_target).substr(4) << "\n";
        }
        return s.str();
    }

    // Drops the objects one at a time while the rest still differ: what is left are the
    // objects the difference needs.
    std::string shrink(const Scene &scene) {
        std::vector<bool> keep(scene.items.size(), true);
        Outcome last = both_ways(scene, keep);
        for (size_t i = 0; i < keep.size(); ++i) {
            std::vector<bool> trial = keep;
            trial[i] = false;
            const Outcome o = both_ways(scene, trial);
            if (!o.differs) continue;
            keep = trial;
            last = o;
        }
        std::ostringstream s;
        int left = 0;
        for (size_t i = 0; i < keep.size(); ++i) left += keep[i];
        s << " shrunk to " << left << " of " << keep.size() << " objects:\n";
        for (size_t i = 0; i < keep.size(); ++i)
            if (keep[i]) s << "    " << describe(scene, i) << "\n";
        s << frame_words(last);
        return s.str();
    }
};

} // namespace

TEST_F(FrameDifferentialTest, RandomScenesLookTheSameDirectAndThroughTheLayerTarget) {
    int differing = 0;
    for (uint32_t seed = 1; seed <= (uint32_t)SCENES; ++seed) {
        const Scene scene = SceneMaker(seed).make();
        const std::vector<bool> all(scene.items.size(), true);
        const Outcome o = both_ways(scene, all);
        if (::testing::Test::HasFatalFailure()) return;
        if (!o.differs) continue;
        ++differing;
        ADD_FAILURE() << "scene seed " << seed << " (" << scene.items.size()
                      << " objects, background " << hex(scene.background).substr(4) << "):\n"
                      << frame_words(o) << shrink(scene);
    }
    EXPECT_EQ(differing, 0) << "of " << SCENES << " scenes";
}
