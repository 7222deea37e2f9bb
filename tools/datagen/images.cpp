// The image groups: title and selection screens, stage tiles, faces, captions, the player and
// the ten targets in their poses, and the ten pictures.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/datagen/datagen.h"
#include "tools/datagen/figures.h"

namespace {

constexpr int SCREEN_W = 800, SCREEN_H = 600;
// Actor crops: feet on row 141 of 144 (anchor y 0.979).
constexpr int ACTOR_W = 120, ACTOR_H = 144, ACTOR_FEET = 141;
constexpr float ACTOR_SCALE = 0.92f;

const Rgba INK = {0.1f, 0.08f, 0.12f, 1.0f};
const Rgba WHITE = {1, 1, 1, 1};

TextStyle style(float size, Rgba fill, float outline, float bold = 0.0f, Rgba line = INK) {
    return TextStyle{size, fill, line, outline, bold};
}

std::string entry_name(const char *prefix, int i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%s%02d", prefix, i);
    return buf;
}

// Places pieces left to right in rows with a gap around each.
struct Packer {
    Sheet *sheet;
    int x = 0, y = 0, row_h = 0, gap;
    void put(const std::string &name, const Canvas &piece, int extrude = 0) {
        if (x + piece.w + 2 * gap > sheet->canvas.w) {
            x = 0;
            y += row_h;
            row_h = 0;
        }
        cv_blit(sheet->canvas, piece, x + gap, y + gap, extrude);
        sheet->crops.push_back({name, x + gap, y + gap, piece.w, piece.h});
        x += piece.w + 2 * gap;
        row_h = std::max(row_h, piece.h + 2 * gap);
    }
};

// ---- poses ----

Pose side(float lean, float an0, float an1, float af0, float af1, float ln0, float ln1, float lf0,
          float lf1, Expression face, float lift = 0.0f, bool camera = false) {
    return Pose{VIEW_SIDE,  lean, {an0, an1}, {af0, af1}, {ln0, ln1},
                {lf0, lf1}, face, camera,     lift};
}

Pose facing(View view, float an0, float an1, float af0, float af1, float legs, Expression face,
            float lift = 0.0f) {
    return Pose{view, 0, {an0, an1}, {af0, af1}, {legs, 0}, {legs, 0}, face, false, lift};
}

const Pose RUN01 = side(15, -45, 10, 55, 105, 45, -5, -30, -95, FACE_SMILE);
const Pose RUN02 = side(15, 55, 105, -45, 10, -30, -95, 45, -5, FACE_SMILE);
const Pose WAIT01 = side(0, 6, 0, -6, 0, 5, 0, -5, 0, FACE_CALM);

struct NamedPose {
    const char *name;
    Pose pose;
};

// The target's crops (run02 serves two pose slots).
const NamedPose TARGET_POSES[] = {
    {"run01", RUN01},
    {"run02", RUN02},
    {"wait01", WAIT01},
    {"guard01", side(-5, 70, 160, 55, 150, 15, -5, -15, 0, FACE_SURPRISED)},
    {"guard02", side(-10, 85, 175, 65, 165, 20, 0, -10, 5, FACE_SHUT)},
    {"back01", facing(VIEW_BACK, 20, 10, 20, 10, 5, FACE_CALM)},
    {"back02", facing(VIEW_BACK, 60, 140, 60, 140, 8, FACE_CALM)},
    {"back03", facing(VIEW_BACK, 110, 170, 110, 170, 6, FACE_JOY)},
    {"back04", facing(VIEW_BACK, 140, 160, 140, 160, 12, FACE_JOY, 8)},
    {"normal01", facing(VIEW_FRONT, 20, 150, 20, 150, 4, FACE_SURPRISED)},
    {"normal02", facing(VIEW_FRONT, 35, 165, 35, 165, 6, FACE_SHUT)},
    {"normal03", facing(VIEW_FRONT, 140, 170, 140, 170, 8, FACE_JOY)},
    {"normal04", facing(VIEW_FRONT, 160, 195, 160, 195, 14, FACE_JOY, 8)},
    {"pose14", side(-15, 80, 120, 70, 110, 30, -10, -20, -40, FACE_SHUT)},
    {"pose15", side(-20, 100, 150, 90, 140, 35, 0, -25, -50, FACE_SURPRISED)},
    {"pose16", facing(VIEW_FRONT, 150, 175, 20, 10, 6, FACE_SMILE)},
    {"pose17", facing(VIEW_FRONT, 125, 205, 20, 10, 6, FACE_JOY)},
    {"pose18", side(30, 40, 80, 30, 70, 75, -25, 60, -40, FACE_SHUT)},
    {"pose19", side(25, 60, 140, 50, 130, 70, -20, 55, -35, FACE_SURPRISED)},
    {"pose20", facing(VIEW_BACK, 150, 170, 150, 170, 14, FACE_JOY, 10)},
    {"pose21", facing(VIEW_BACK, 30, 10, 30, 10, 6, FACE_SMILE)},
};

const NamedPose PLAYER_POSES[] = {
    {"run01", RUN01},
    {"run02", RUN02},
    {"wait01", WAIT01},
    {"ppose04", side(10, 80, 80, 75, 75, 20, 0, -20, -10, FACE_SMILE)},
    {"ppose05", side(15, 95, 110, 90, 105, 25, 0, -25, -20, FACE_JOY)},
    {"ppose06", side(5, 60, 120, 50, 110, 15, 0, -15, -5, FACE_SMILE)},
    {"ppose07", side(0, 90, 150, 80, 140, 10, 0, -10, 0, FACE_JOY)},
    {"ppose08", facing(VIEW_FRONT, 100, 60, 100, 60, 10, FACE_SMILE)},
    {"ppose09", facing(VIEW_FRONT, 45, 170, 45, 170, 12, FACE_JOY)},
    {"ppose10", side(35, 60, 100, 50, 90, 75, -20, 60, -40, FACE_SMILE)},
    {"ppose11", side(30, 90, 160, 80, 150, 70, -25, 55, -45, FACE_JOY)},
    {"cam01", side(0, 70, 150, 60, 140, 15, 0, -15, 0, FACE_SHUT, 0, true)},
    {"cam02", side(5, 65, 160, 55, 150, 25, 0, -25, -10, FACE_SHUT, 0, true)},
};

Canvas actor_cell(const Character &ch, const Pose &pose) {
    Canvas cv = cv_make(ACTOR_W, ACTOR_H);
    // A forward lean moves the hips back so the head stays inside the cell.
    float lean_shift = pose.view == VIEW_SIDE ? 36.0f * std::sin(pose.lean * 0.0174533f) : 0.0f;
    figure_draw(cv, ch, pose, ACTOR_W * 0.5f + lean_shift * ACTOR_SCALE, ACTOR_FEET, ACTOR_SCALE);
    return cv;
}

// ---- screens ----

void title_screen(Sheet &s) {
    Canvas &cv = s.canvas;
    cv_vgradient(cv, 0, 0, SCREEN_W, 420, rgb(0x4A90E2), rgb(0xBFE6FF));
    cv_circle(cv, 680, 110, 60, rgb(0xFFF2A8));
    for (int i = 0; i < 5; ++i) {
        float cx = 80 + i * 170.0f, cy = 250 + (i % 2) * 30.0f;
        cv_ellipse(cv, cx, cy, 70, 24, rgb(0xFFFFFF, 0.8f));
        cv_ellipse(cv, cx + 30, cy - 14, 40, 20, rgb(0xFFFFFF, 0.8f));
    }
    cv_vgradient(cv, 0, 420, SCREEN_W, SCREEN_H, rgb(0xC8B89A), rgb(0x8A7A60));
    for (int i = 0; i < 9; ++i)
        cv_rect(cv, 0, 430 + i * 20.0f, SCREEN_W, 432 + i * 20.0f, rgb(0x6A5A48, 0.4f));
    figure_draw(cv, character_entry(0), RUN01, 250, 520, 2.2f);
    figure_draw(cv, character_player(), RUN02, 560, 520, 2.2f);
    cv_text(cv, "TAVOK", 400, 130, TEXT_CENTRE, style(150, rgb(0xFFD23C), 7, 3, rgb(0x3A1A40)));
    cv_text(cv, "CATCH ME IF YOU CAN", 400, 228, TEXT_CENTRE, style(34, WHITE, 3, 1));
    cv_text(cv, "PRESS Z TO START", 400, 548, TEXT_CENTRE, style(38, rgb(0xFFFFFF), 4, 1.5f));
    cv_text(cv, "ARROWS: MOVE     Z: DASH / CATCH     X: JUMP", 400, 585, TEXT_CENTRE,
            style(19, rgb(0xFFF0C0), 2.5f));
    s.crops.push_back({"t", 0, 0, SCREEN_W, SCREEN_H});
}

void select_screen(Sheet &s, bool all_open) {
    Canvas &cv = s.canvas;
    Rgba top = all_open ? rgb(0xF2A93B) : rgb(0x2B2F77);
    Rgba bottom = all_open ? rgb(0xB8422E) : rgb(0x6A3D9A);
    cv_vgradient(cv, 0, 0, SCREEN_W, SCREEN_H, top, bottom);
    // Diagonal stripes, 24 of every 60 pixels.
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) {
            float d = std::fmod(x - y + 6000.0f, 60.0f);
            float cover = std::clamp(std::min(d, 24.0f - d) + 0.5f, 0.0f, 1.0f);
            cv_blend(cv, x, y, rgb(0xFFFFFF, 0.06f), cover);
        }
    if (all_open)
        for (int i = 0; i < 14; ++i)
            cv_star(cv, 40 + i * 57.0f, (i % 2) ? 140 : 470, 14, 6, 5, rgb(0xFFF6B0, 0.7f));
    cv_rect(cv, 0, 28, SCREEN_W, 100, rgb(0x000000, 0.3f));
    cv_round_rect(cv, 48, 150, 752, 442, 16, rgb(0x000000, 0.25f));
    cv_text(cv, "ARROWS: CHOOSE     Z: START THE CHASE     X: VIEW A CAUGHT ONE'S PICTURE", 400,
            all_open ? 578 : 520, TEXT_CENTRE, style(17, WHITE, 2.5f), 760);
    s.crops.push_back({all_open ? "s2" : "s1", 0, 0, SCREEN_W, SCREEN_H});
}

// ---- stage tiles ----

Canvas floor_tile(void) {
    Canvas cv = cv_make(64, 64);
    cv_vgradient(cv, 0, 0, 64, 64, rgb(0xD2C3A2), rgb(0xBCAC8A));
    cv_rect(cv, 0, 62, 64, 64, rgb(0x8C7C60));
    cv_rect(cv, 62, 0, 64, 64, rgb(0x9C8C70));
    cv_rect(cv, 0, 0, 64, 1.5f, rgb(0xE8DCC0));
    const float spots[][2] = {{12, 14}, {40, 22}, {24, 44}, {52, 50}, {8, 54}, {46, 8}};
    for (auto &p : spots) cv_circle(cv, p[0], p[1], 1.6f, rgb(0xA08E6E, 0.7f));
    return cv;
}

Canvas hurdle_tile(void) {
    Canvas cv = floor_tile();
    cv_ellipse(cv, 32, 54, 28, 5, rgb(0x000000, 0.25f));
    cv_rect(cv, 8, 18, 14, 56, rgb(0x606070));
    cv_rect(cv, 50, 18, 56, 56, rgb(0x606070));
    cv_rect(cv, 4, 18, 60, 32, WHITE);
    for (int i = 0; i < 4; ++i) {
        float x = 4 + i * 16.0f;
        cv_polygon(cv, {x, 18, x + 8, 18, x + 4, 32, x - 4, 32}, rgb(0xE03030));
    }
    cv_rect(cv, 4, 18, 60, 19.5f, rgb(0x000000, 0.3f));
    cv_rect(cv, 4, 30.5f, 60, 32, rgb(0x000000, 0.3f));
    return cv;
}

Canvas nodata_tile(void) {
    Canvas cv = cv_make(64, 64);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            cv_rect(cv, x * 16.0f, y * 16.0f, x * 16.0f + 16, y * 16.0f + 16,
                    ((x + y) % 2) ? rgb(0xE040E0) : rgb(0x202020));
    cv_text(cv, "?", 32, 32, TEXT_CENTRE, style(44, WHITE, 3, 1));
    return cv;
}

void bricks(Canvas &cv, float y0, float y1, Rgba brick) {
    cv_rect(cv, 0, y0, 64, y1, rgb(0x8A8078));
    for (int row = 0; row * 16 + y0 < y1; ++row) {
        float y = y0 + row * 16;
        float shift = (row % 2) ? 16 : 0;
        for (int k = -1; k < 3; ++k) {
            float x = k * 32 + shift;
            Rgba c = rgba_shade(brick, 0.9f + 0.1f * ((row * 3 + k + 5) % 3));
            cv_round_rect(cv, x + 1, y + 1, x + 31, std::min(y + 15, y1), 2, c);
        }
    }
}

Canvas wall_top_tile(void) {
    Canvas cv = cv_make(64, 64);
    bricks(cv, 10, 64, rgb(0xA0483A));
    cv_rect(cv, 0, 0, 64, 10, rgb(0xD8D0C8));
    cv_rect(cv, 0, 8, 64, 10, rgb(0x807870));
    return cv;
}

Canvas wall_bottom_tile(void) {
    Canvas cv = cv_make(64, 64);
    bricks(cv, 0, 52, rgb(0xA0483A));
    cv_rect(cv, 0, 52, 64, 64, rgb(0x4A3A34));
    cv_rect(cv, 0, 52, 64, 54, rgb(0x2A2020));
    return cv;
}

Canvas shadow_piece(void) {
    Canvas cv = cv_make(64, 24);
    for (int i = 0; i < 6; ++i)
        cv_ellipse(cv, 32, 12, 30 - i * 4.0f, 11 - i * 1.6f, rgb(0x000000, 0.22f));
    return cv;
}

// ---- captions ----

Canvas caption(int w, int h, const std::string &text, float size, Rgba fill, float outline,
               Rgba line = INK) {
    Canvas cv = cv_make(w, h);
    cv_text(cv, text, w * 0.5f, h * 0.5f, TEXT_CENTRE, style(size, fill, outline, size / 30, line),
            w - 2 * outline - 8);
    return cv;
}

Canvas meter_frame(void) {
    // Frames the time bar (segments at x 20..776, 24..74 below the crop's top).
    Canvas cv = cv_make(SCREEN_W, 88);
    cv_round_rect(cv, 12, 16, 788, 82, 8, rgb(0x101018, 0.9f));
    cv_round_rect(cv, 15, 19, 785, 79, 6, rgb(0xFFFFFF, 0.9f));
    // Punch the window open so the segments below show through.
    for (int y = 21; y < 77; ++y)
        for (int x = 17; x < 783; ++x)
            for (int i = 0; i < 4; ++i) cv.px[(static_cast<size_t>(y) * cv.w + x) * 4 + i] = 0.0f;
    cv_round_rect(cv, 14, 0, 96, 20, 6, rgb(0x101018, 0.9f));
    cv_text(cv, "TIME", 55, 10, TEXT_CENTRE, style(15, rgb(0xFFE070), 0, 0.5f));
    return cv;
}

Canvas completed_mark(void) {
    Canvas cv = cv_make(48, 48);
    cv_circle(cv, 24, 24, 22, rgb(0x103010));
    cv_circle(cv, 24, 24, 19.5f, rgb(0x30C050));
    cv_capsule(cv, 13, 25, 21, 33, 3.2f, WHITE);
    cv_capsule(cv, 21, 33, 35, 15, 3.2f, WHITE);
    return cv;
}

Canvas flash_piece(void) {
    Canvas cv = cv_make(128, 128);
    for (int i = 0; i < 8; ++i) cv_circle(cv, 64, 64, 60 - i * 7.0f, rgb(0xFFFFFF, 0.18f));
    cv_star(cv, 64, 64, 62, 14, 8, rgb(0xFFFFFF, 0.9f));
    cv_circle(cv, 64, 64, 18, WHITE);
    return cv;
}

Canvas face_piece(int i, bool locked) {
    const Character &ch = character_entry(i);
    Canvas cv = cv_make(64, 64);
    figure_portrait(cv, ch, 0, 0, 64, 64, FACE_SMILE);
    if (locked) {
        cv_desaturate(cv, rgb(0xB0B8D0), 0.5f);
        cv_round_rect(cv, 22, 30, 42, 46, 3, rgb(0xE0C040));
        cv_arc(cv, 32, 30, 7, static_cast<float>(M_PI), 2 * static_cast<float>(M_PI), 3,
               rgb(0xE0E0E0));
        cv_circle(cv, 32, 37, 2.2f, rgb(0x403010));
    }
    cv_rect(cv, 0, 52, 64, 64, rgb(0x000000, 0.55f));
    char label[32];
    std::snprintf(label, sizeof label, "%d %s", i + 1, locked ? "???" : ch.name);
    cv_text(cv, label, 32, 58, TEXT_CENTRE, style(10, WHITE, 0), 60);
    cv_rect(cv, 0, 0, 64, 1, rgb(0xFFFFFF, 0.6f));
    return cv;
}

Canvas picture(int i) {
    const Character &ch = character_entry(i);
    Canvas cv = cv_make(512, 512);
    figure_portrait(cv, ch, 0, 0, 512, 512, FACE_JOY);
    for (int k = 0; k < 12; ++k) {
        float x = 30 + (k * 97 + i * 31) % 460, y = 30 + (k * 53 + i * 17) % 200;
        if (std::fabs(x - 256) < 150 && y > 60) continue; // keep the face clear
        Rgba deco = rgba_mix(rgb(ch.backdrop), WHITE, 0.6f);
        switch (i % 3) {
            case 0:
                cv_star(cv, x, y, 14, 6, 5, deco);
                break;
            case 1: // a heart
                cv_circle(cv, x - 6, y - 3, 7, deco);
                cv_circle(cv, x + 6, y - 3, 7, deco);
                cv_polygon(cv, {x - 12.5f, y, x + 12.5f, y, x, y + 14}, deco);
                break;
            default:
                cv_arc(cv, x, y, 10, 0, 6.2831853f, 3, deco);
                break;
        }
    }
    cv_rect(cv, 0, 440, 512, 512, rgb(0x000000, 0.45f));
    char label[48];
    std::snprintf(label, sizeof label, "No.%d  %s", i + 1, ch.name);
    cv_text(cv, label, 256, 476, TEXT_CENTRE, style(40, WHITE, 3, 1));
    // Frame.
    cv_rect(cv, 0, 0, 512, 6, rgb(0xFFFFFF));
    cv_rect(cv, 0, 506, 512, 512, rgb(0xFFFFFF));
    cv_rect(cv, 0, 0, 6, 512, rgb(0xFFFFFF));
    cv_rect(cv, 506, 0, 512, 512, rgb(0xFFFFFF));
    return cv;
}

Sheet sheet(const std::string &texture, int w, int h) {
    Sheet s;
    s.texture = texture;
    s.canvas = cv_make(w, h);
    return s;
}

} // namespace

std::vector<ImageGroup> datagen_image_groups(void) {
    std::vector<ImageGroup> groups;

    ImageGroup t{"t", false, {}};
    t.sheets.push_back(sheet("t_title.png", 1024, 1024));
    title_screen(t.sheets.back());
    t.sheets.push_back(sheet("t_select1.png", 1024, 1024));
    select_screen(t.sheets.back(), false);
    t.sheets.push_back(sheet("t_select2.png", 1024, 1024));
    select_screen(t.sheets.back(), true);
    groups.push_back(std::move(t));

    ImageGroup bg{"bg", false, {sheet("bg.png", 512, 128)}};
    {
        Packer p{&bg.sheets[0], 0, 0, 0, 4};
        p.put("bg01", floor_tile(), 4);
        p.put("hardle", hurdle_tile(), 4);
        p.put("nodata", nodata_tile(), 4);
        p.put("wall01t", wall_top_tile(), 4);
        p.put("wall01b", wall_bottom_tile(), 4);
        p.put("shadow", shadow_piece());
    }
    groups.push_back(std::move(bg));

    for (int locked = 0; locked < 2; ++locked) {
        ImageGroup g{
            locked ? "faceg" : "face", true, {sheet(locked ? "faceg.png" : "face.png", 512, 256)}};
        Packer p{&g.sheets[0], 0, 0, 0, 4};
        for (int i = 0; i < ENTRY_COUNT; ++i) p.put(entry_name("chr", i), face_piece(i, locked), 2);
        groups.push_back(std::move(g));
    }
    // A flat normal map beside the faces, for the normal-map companion path.
    {
        ImageGroup nrm{"face_NRM", true, {sheet("face_normal.png", 64, 64)}};
        cv_fill(nrm.sheets[0].canvas, Rgba{0.5f, 0.5f, 1.0f, 1.0f});
        groups.push_back(std::move(nrm));
    }

    ImageGroup moji{"moji", false, {sheet("moji.png", 1024, 1024)}};
    {
        Packer p{&moji.sheets[0], 0, 0, 0, 2};
        Rgba yellow = rgb(0xFFE040), pink = rgb(0xFF7FB0), red = rgb(0xFF4040);
        p.put("metor", meter_frame());
        p.put("sel", caption(508, 60, "SELECT", 50, WHITE, 4));
        p.put("if", caption(508, 60, "ALL OPEN!  X: VIEW ANY PICTURE", 30, yellow, 3));
        p.put("go", caption(508, 124, "TIME UP", 92, red, 6, WHITE));
        p.put("moji_big", caption(508, 124, "GOTCHA!", 96, pink, 6, WHITE));
        p.put("n3", caption(252, 124, "3", 120, yellow, 6));
        p.put("n2", caption(252, 124, "2", 120, yellow, 6));
        p.put("n1", caption(252, 124, "1", 120, yellow, 6));
        p.put("ng", caption(252, 124, "GO!", 110, rgb(0x60FF60), 6));
        const char *cries[7] = {"HEY!", "EEK!", "OUCH!", "NO WAY!", "WAIT!", "KYAA!", "STOP!"};
        for (int i = 0; i < 7; ++i)
            p.put("moji_cry" + std::to_string(i + 1), caption(252, 60, cries[i], 46, WHITE, 4));
    }
    groups.push_back(std::move(moji));

    ImageGroup player{"player", true, {sheet("player.png", 1024, 512)}};
    {
        Packer p{&player.sheets[0], 0, 0, 0, 2};
        for (const NamedPose &np : PLAYER_POSES)
            p.put(np.name, actor_cell(character_player(), np.pose));
        p.put("cm", completed_mark());
        p.put("camfla", flash_piece());
    }
    groups.push_back(std::move(player));

    for (int i = 0; i < ENTRY_COUNT; ++i) {
        std::string name = entry_name("chr", i);
        ImageGroup g{name, true, {sheet(name + ".png", 1024, 512)}};
        Packer p{&g.sheets[0], 0, 0, 0, 2};
        for (const NamedPose &np : TARGET_POSES)
            p.put(np.name, actor_cell(character_entry(i), np.pose));
        groups.push_back(std::move(g));
    }

    for (int i = 0; i < ENTRY_COUNT; ++i) {
        std::string name = entry_name("cgchr", i) + "p1";
        ImageGroup g{name, false, {sheet(name + ".png", 512, 512)}};
        g.sheets[0].canvas = picture(i);
        g.sheets[0].crops.push_back({name, 0, 0, 512, 512});
        groups.push_back(std::move(g));
    }
    return groups;
}
