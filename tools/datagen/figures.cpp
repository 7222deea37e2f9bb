// Characters drawn from capsules and ellipses: heads in three views, jointed figures, portraits.
#include "tools/datagen/figures.h"

#include <algorithm>
#include <cmath>

static const Character ENTRIES[ENTRY_COUNT] = {
    {"AKI", 0xF6D2B8, 0x23232F, 0xD94040, 0x2A3A6A, 0x402020, 0xF7B6C8, HAIR_LONG},
    {"BEA", 0xF8DCC4, 0xE8B840, 0x2AA198, 0x35506A, 0x603010, 0xA8D8F0, HAIR_TWINTAILS},
    {"CORA", 0xE9B894, 0x7A4A2A, 0xF2C230, 0x3A5A30, 0x302010, 0xB8E0A0, HAIR_PONYTAIL},
    {"DANA", 0xF4CDB0, 0xB8322A, 0x8E44AD, 0x30304A, 0x201818, 0xF5D0A0, HAIR_BOB},
    {"EMI", 0xD9A77F, 0x2C3E80, 0xE67E22, 0x6A3A20, 0x301808, 0xD0C8F0, HAIR_BUN},
    {"FAY", 0xF6D8C8, 0xC8C8DA, 0x27AE60, 0x204030, 0x181818, 0xF0E0A0, HAIR_SHORT},
    {"GINA", 0xF8D8C0, 0xE87AA8, 0xF4F4F4, 0x6A2A4A, 0x502040, 0xC0F0E0, HAIR_TWINTAILS},
    {"HANA", 0xE8C0A0, 0x1E1E26, 0x3498DB, 0x22304A, 0x101020, 0xF8C8A8, HAIR_BOB},
    {"IRIS", 0xF2D4C4, 0x7D3C98, 0x303038, 0x503060, 0x181018, 0xE0D8F8, HAIR_LONG},
    {"JUNE", 0xDDB08C, 0xE08A2E, 0xFF7FA0, 0x404060, 0x402818, 0xF8F0B0, HAIR_PONYTAIL},
};

static const Character PLAYER = {"YOU",    0xF0C8A0, 0x6A4028, 0x2E5FB0,
                                 0x505058, 0xF0F0F0, 0xB0C8F0, HAIR_CAP};

const Character &character_entry(int i) {
    return ENTRIES[std::clamp(i, 0, ENTRY_COUNT - 1)];
}

const Character &character_player(void) {
    return PLAYER;
}

static const float DEG = static_cast<float>(M_PI) / 180.0f;
static const Rgba INK = {0.16f, 0.11f, 0.12f, 1.0f};
static const Rgba MOUTH = {0.62f, 0.18f, 0.22f, 1.0f};
static const Rgba WHITE = {1, 1, 1, 1};

// Hair that hangs behind the head (drawn before the head and, seen from the front, the body).
static void head_back_hair(Canvas &cv, const Character &ch, float cx, float cy, float r,
                           View view) {
    Rgba hair = rgb(ch.hair);
    Rgba dark = rgba_shade(hair, 0.8f);
    switch (ch.hair_style) {
        case HAIR_LONG:
            if (view == VIEW_SIDE)
                cv_round_rect(cv, cx - 0.2f * r, cy - 0.6f * r, cx + 1.05f * r, cy + 1.9f * r,
                              0.5f * r, dark);
            else if (view == VIEW_FRONT)
                cv_round_rect(cv, cx - 1.1f * r, cy - 0.5f * r, cx + 1.1f * r, cy + 1.9f * r,
                              0.6f * r, dark);
            break;
        case HAIR_PONYTAIL:
            if (view == VIEW_SIDE)
                cv_ellipse(cv, cx + 1.2f * r, cy + 0.3f * r, 0.4f * r, 0.9f * r, dark);
            if (view == VIEW_FRONT)
                cv_ellipse(cv, cx + 0.95f * r, cy + 0.5f * r, 0.3f * r, 0.7f * r, dark);
            break;
        case HAIR_TWINTAILS:
            if (view == VIEW_SIDE)
                cv_ellipse(cv, cx + 0.9f * r, cy + 0.9f * r, 0.4f * r, 0.95f * r, dark);
            if (view == VIEW_FRONT) {
                cv_ellipse(cv, cx - 1.25f * r, cy + 0.6f * r, 0.38f * r, 0.95f * r, dark);
                cv_ellipse(cv, cx + 1.25f * r, cy + 0.6f * r, 0.38f * r, 0.95f * r, dark);
            }
            break;
        case HAIR_BOB:
            if (view == VIEW_SIDE)
                cv_round_rect(cv, cx - 0.3f * r, cy - 0.9f * r, cx + 1.1f * r, cy + 0.85f * r,
                              0.4f * r, dark);
            else if (view == VIEW_FRONT)
                cv_round_rect(cv, cx - 1.12f * r, cy - 0.8f * r, cx + 1.12f * r, cy + 0.9f * r,
                              0.4f * r, dark);
            break;
        case HAIR_BUN:
            if (view == VIEW_SIDE) cv_circle(cv, cx + 0.75f * r, cy - 0.75f * r, 0.45f * r, dark);
            if (view == VIEW_FRONT) cv_circle(cv, cx, cy - 1.05f * r, 0.45f * r, dark);
            break;
        default:
            break;
    }
}

static void front_features(Canvas &cv, float cx, float cy, float r, Expression face) {
    for (int side = -1; side <= 1; side += 2) {
        float ex = cx + side * 0.36f * r, ey = cy + 0.18f * r;
        if (face == FACE_JOY || face == FACE_SHUT) {
            // Closed eyes: upward arcs when happy, flat lines when shut tight.
            if (face == FACE_JOY)
                cv_arc(cv, ex, ey + 0.08f * r, 0.14f * r, static_cast<float>(M_PI) * 1.15f,
                       static_cast<float>(M_PI) * 1.85f, std::max(1.0f, 0.06f * r), INK);
            else
                cv_capsule(cv, ex - 0.14f * r, ey, ex + 0.14f * r, ey, std::max(0.6f, 0.03f * r),
                           INK);
        } else {
            float ry = face == FACE_SURPRISED ? 0.22f : 0.2f;
            cv_ellipse(cv, ex, ey, 0.13f * r, ry * r, INK);
            cv_circle(cv, ex + 0.04f * r, ey - 0.07f * r, 0.05f * r, WHITE);
        }
        cv_ellipse(cv, cx + side * 0.6f * r, cy + 0.45f * r, 0.15f * r, 0.08f * r,
                   rgb(0xF08080, 0.55f));
    }
    float my = cy + 0.5f * r;
    float lw = std::max(0.8f, 0.05f * r);
    switch (face) {
        case FACE_CALM:
            cv_capsule(cv, cx - 0.1f * r, my, cx + 0.1f * r, my, lw * 0.6f, MOUTH);
            break;
        case FACE_SMILE:
            cv_arc(cv, cx, my - 0.12f * r, 0.2f * r, 0.25f * static_cast<float>(M_PI),
                   0.75f * static_cast<float>(M_PI), lw, MOUTH);
            break;
        case FACE_SURPRISED:
            cv_ellipse(cv, cx, my + 0.04f * r, 0.09f * r, 0.13f * r, MOUTH);
            break;
        case FACE_JOY: {
            // An open smile: the lower half of an ellipse.
            std::vector<float> xy;
            for (int i = 0; i <= 12; ++i) {
                float a = static_cast<float>(M_PI) * i / 12;
                xy.push_back(cx + 0.2f * r * std::cos(a));
                xy.push_back(my - 0.04f * r + 0.16f * r * std::sin(a));
            }
            cv_polygon(cv, xy, MOUTH);
        } break;
        case FACE_SHUT:
            cv_capsule(cv, cx - 0.12f * r, my + 0.02f * r, cx + 0.12f * r, my - 0.02f * r,
                       lw * 0.6f, MOUTH);
            break;
    }
}

static void side_features(Canvas &cv, float cx, float cy, float r, Expression face) {
    float ex = cx - 0.5f * r, ey = cy + 0.08f * r;
    if (face == FACE_JOY || face == FACE_SHUT)
        cv_arc(cv, ex, ey + 0.08f * r, 0.12f * r, static_cast<float>(M_PI) * 1.15f,
               static_cast<float>(M_PI) * 1.85f, std::max(1.0f, 0.06f * r), INK);
    else
        cv_ellipse(cv, ex, ey, 0.1f * r, 0.18f * r, INK);
    cv_ellipse(cv, cx - 0.42f * r, cy + 0.42f * r, 0.13f * r, 0.07f * r, rgb(0xF08080, 0.55f));
    float mx = cx - 0.72f * r, my = cy + 0.5f * r;
    if (face == FACE_SURPRISED || face == FACE_JOY)
        cv_ellipse(cv, mx, my, 0.08f * r, 0.11f * r, MOUTH);
    else
        cv_capsule(cv, mx - 0.08f * r, my, mx + 0.06f * r,
                   my - (face == FACE_SMILE ? 0.05f : 0.0f) * r, std::max(0.6f, 0.03f * r), MOUTH);
}

static void head(Canvas &cv, const Character &ch, float cx, float cy, float r, View view,
                 Expression face, bool back_hair) {
    Rgba skin = rgb(ch.skin), hair = rgb(ch.hair), cap = rgb(ch.shirt);
    if (back_hair && view != VIEW_BACK) head_back_hair(cv, ch, cx, cy, r, view);
    if (view == VIEW_SIDE) {
        cv_circle(cv, cx + 0.1f * r, cy - 0.1f * r, 1.05f * r, hair);
        cv_ellipse(cv, cx - 0.2f * r, cy + 0.16f * r, 0.84f * r, 0.82f * r, skin);
        cv_circle(cv, cx - 0.98f * r, cy + 0.22f * r, 0.1f * r, skin); // nose
        cv_ellipse(cv, cx + 0.22f * r, cy + 0.18f * r, 0.14f * r, 0.2f * r,
                   rgba_shade(skin, 0.92f));
        if (ch.hair_style == HAIR_CAP) {
            cv_ellipse(cv, cx + 0.05f * r, cy - 0.42f * r, 1.04f * r, 0.62f * r, cap);
            cv_capsule(cv, cx - 0.5f * r, cy - 0.3f * r, cx - 1.4f * r, cy - 0.26f * r, 0.13f * r,
                       rgba_shade(cap, 0.7f));
        } else {
            cv_ellipse(cv, cx - 0.38f * r, cy - 0.55f * r, 0.62f * r, 0.3f * r, hair);
        }
        side_features(cv, cx, cy, r, face);
    } else if (view == VIEW_FRONT) {
        cv_circle(cv, cx, cy - 0.08f * r, 1.06f * r, hair);
        cv_ellipse(cv, cx - 0.9f * r, cy + 0.18f * r, 0.14f * r, 0.2f * r, skin); // ears
        cv_ellipse(cv, cx + 0.9f * r, cy + 0.18f * r, 0.14f * r, 0.2f * r, skin);
        cv_ellipse(cv, cx, cy + 0.14f * r, 0.86f * r, 0.84f * r, skin);
        if (ch.hair_style == HAIR_CAP) {
            cv_ellipse(cv, cx, cy - 0.48f * r, 1.06f * r, 0.6f * r, cap);
            cv_ellipse(cv, cx, cy - 0.18f * r, 1.0f * r, 0.16f * r, rgba_shade(cap, 0.7f));
        } else {
            for (int i = -1; i <= 1; ++i)
                cv_ellipse(cv, cx + i * 0.45f * r, cy - (i ? 0.45f : 0.55f) * r, 0.42f * r,
                           0.28f * r, hair);
        }
        if (ch.hair_style == HAIR_TWINTAILS)
            for (int side = -1; side <= 1; side += 2)
                cv_circle(cv, cx + side * 1.05f * r, cy - 0.2f * r, 0.14f * r, rgb(0xFF4060));
        front_features(cv, cx, cy, r, face);
    } else {
        cv_circle(cv, cx, cy, r, skin);
        cv_ellipse(cv, cx - 0.98f * r, cy + 0.15f * r, 0.15f * r, 0.22f * r, skin);
        cv_ellipse(cv, cx + 0.98f * r, cy + 0.15f * r, 0.15f * r, 0.22f * r, skin);
        cv_circle(cv, cx, cy - 0.06f * r, 1.02f * r, hair);
        cv_arc(cv, cx, cy + 0.2f * r, 0.6f * r, 1.2f * static_cast<float>(M_PI),
               1.8f * static_cast<float>(M_PI), std::max(1.0f, 0.05f * r), rgba_shade(hair, 0.75f));
        Rgba dark = rgba_shade(hair, 0.85f);
        switch (ch.hair_style) {
            case HAIR_LONG:
                cv_round_rect(cv, cx - 1.05f * r, cy - 0.2f * r, cx + 1.05f * r, cy + 1.9f * r,
                              0.6f * r, dark);
                break;
            case HAIR_PONYTAIL:
                cv_ellipse(cv, cx, cy + 1.0f * r, 0.32f * r, 0.85f * r, dark);
                cv_circle(cv, cx, cy + 0.35f * r, 0.14f * r, rgb(0xFF4060));
                break;
            case HAIR_TWINTAILS:
                cv_ellipse(cv, cx - 1.2f * r, cy + 0.6f * r, 0.36f * r, 0.95f * r, dark);
                cv_ellipse(cv, cx + 1.2f * r, cy + 0.6f * r, 0.36f * r, 0.95f * r, dark);
                break;
            case HAIR_BOB:
                cv_round_rect(cv, cx - 1.1f * r, cy - 0.6f * r, cx + 1.1f * r, cy + 0.9f * r,
                              0.4f * r, dark);
                break;
            case HAIR_BUN:
                cv_circle(cv, cx, cy - 0.9f * r, 0.45f * r, dark);
                break;
            case HAIR_CAP:
                cv_ellipse(cv, cx, cy - 0.45f * r, 1.06f * r, 0.64f * r, cap);
                break;
            default:
                break;
        }
    }
}

void figure_head(Canvas &cv, const Character &ch, float cx, float cy, float r, View view,
                 Expression face) {
    head(cv, ch, cx, cy, r, view, face, true);
}

namespace {

struct Pt {
    float x, y;
};

Pt operator+(Pt a, Pt b) {
    return {a.x + b.x, a.y + b.y};
}

Pt scaled(Pt a, float s) {
    return {a.x * s, a.y * s};
}

// Unit vector of a segment angle: 0 hangs down; positive swings toward +x (side = +1) or -x.
Pt limb_dir(float degrees, float side) {
    return {side * std::sin(degrees * DEG), std::cos(degrees * DEG)};
}

struct Limb {
    Pt root, joint, end;
};

Limb limb(Pt root, const float angles[2], float upper, float lower, float side) {
    Limb l;
    l.root = root;
    l.joint = root + scaled(limb_dir(angles[0], side), upper);
    l.end = l.joint + scaled(limb_dir(angles[1], side), lower);
    return l;
}

// Figure-local units map to pixels by (x, y) -> (ox + x s, oy + y s).
struct Frame {
    float ox, oy, s;
    Pt at(Pt p) const { return {ox + p.x * s, oy + p.y * s}; }
};

void seg(Canvas &cv, const Frame &f, Pt a, Pt b, float r, Rgba c) {
    Pt pa = f.at(a), pb = f.at(b);
    cv_capsule(cv, pa.x, pa.y, pb.x, pb.y, r * f.s, c);
}

void dot(Canvas &cv, const Frame &f, Pt a, float r, Rgba c) {
    Pt p = f.at(a);
    cv_circle(cv, p.x, p.y, r * f.s, c);
}

constexpr float THIGH = 27, SHIN = 27, UPPER_ARM = 22, FOREARM = 20, TORSO = 40, HEAD_R = 17;

} // namespace

void figure_draw(Canvas &cv, const Character &ch, const Pose &pose, float x, float ground,
                 float scale) {
    const bool side = pose.view == VIEW_SIDE;
    const bool skirt = ch.hair_style != HAIR_CAP;
    Rgba skin = rgb(ch.skin), shirt = rgb(ch.shirt), legs = rgb(ch.legs), shoes = rgb(ch.shoes);
    Rgba sock = rgb(0xF2F2F2);

    // Joints with the hip at the origin.
    Pt up = side ? Pt{-std::sin(pose.lean * DEG), -std::cos(pose.lean * DEG)} : Pt{0, -1};
    Pt hip_n = side ? Pt{0, 0} : Pt{-8, 0}, hip_f = side ? Pt{0, 0} : Pt{8, 0};
    Pt shoulder = scaled(up, 36);
    Pt sh_n = side ? shoulder : shoulder + Pt{-15, 0},
       sh_f = side ? shoulder : shoulder + Pt{15, 0};
    Pt head_c = scaled(up, TORSO + 3 + HEAD_R * 0.95f);
    // Forward (side view) and the near limbs' outward (front, back) both point to -x.
    float sn = -1.0f, sf = side ? -1.0f : 1.0f;
    Limb leg_n = limb(hip_n, pose.leg_near, THIGH, SHIN, sn);
    Limb leg_f = limb(hip_f, pose.leg_far, THIGH, SHIN, sf);
    Limb arm_n = limb(sh_n, pose.arm_near, UPPER_ARM, FOREARM, sn);
    Limb arm_f = limb(sh_f, pose.arm_far, UPPER_ARM, FOREARM, sf);

    // Rest the lowest foot on the ground.
    // Shoes reach 4 units below the ankle in profile and 6 seen from the front or back.
    float lowest = std::max(leg_n.end.y, leg_f.end.y) + (side ? 4.0f : 6.0f);
    Frame f{x, ground - (lowest + pose.lift) * scale, scale};

    auto draw_leg = [&](const Limb &l, float shade) {
        Rgba upper = skirt ? rgba_shade(skin, shade) : rgba_shade(legs, shade);
        Rgba lower = skirt ? rgba_shade(sock, shade) : rgba_shade(legs, shade);
        seg(cv, f, l.root, l.joint, 5.2f, upper);
        seg(cv, f, l.joint, l.end, 4.6f, lower);
        if (side)
            seg(cv, f, l.end, l.end + Pt{-7, 0}, 4.0f, rgba_shade(shoes, shade));
        else
            dot(cv, f, l.end + Pt{0, 1}, 5.0f, rgba_shade(shoes, shade));
    };
    auto draw_arm = [&](const Limb &l, float shade) {
        seg(cv, f, l.root, l.joint, 4.4f, rgba_shade(shirt, shade));
        seg(cv, f, l.joint, l.end, 3.6f, rgba_shade(skin, shade));
        dot(cv, f, l.end, 4.0f, rgba_shade(skin, shade));
    };
    auto draw_torso = [&]() {
        if (side) {
            seg(cv, f, scaled(up, 4), shoulder, 9.5f, shirt);
        } else {
            Pt a = f.at({-15, -42}), b = f.at({15, 2});
            cv_round_rect(cv, a.x, a.y, b.x, b.y, 7 * f.s, shirt);
        }
        if (skirt) {
            std::vector<float> xy;
            Pt pts[4] = {scaled(up, 10) + Pt{side ? -10.0f : -15.0f, 0},
                         scaled(up, 10) + Pt{side ? 10.0f : 15.0f, 0}, Pt{side ? 16.0f : 22.0f, 16},
                         Pt{side ? -18.0f : -22.0f, 16}};
            for (Pt p : pts) {
                Pt q = f.at(p);
                xy.push_back(q.x);
                xy.push_back(q.y);
            }
            cv_polygon(cv, xy, legs);
        } else {
            seg(cv, f, Pt{-6, -2}, Pt{6, -2}, 6.0f, legs);
        }
    };

    Pt hc = f.at(head_c);
    float hr = HEAD_R * f.s;
    if (pose.view == VIEW_FRONT) head_back_hair(cv, ch, hc.x, hc.y, hr, VIEW_FRONT);
    if (side) {
        draw_arm(arm_f, 0.72f);
        draw_leg(leg_f, 0.8f);
        draw_leg(leg_n, 1.0f);
        draw_torso();
        head(cv, ch, hc.x, hc.y, hr, VIEW_SIDE, pose.face, true);
        draw_arm(arm_n, 1.0f);
    } else {
        draw_leg(leg_n, 1.0f);
        draw_leg(leg_f, 1.0f);
        draw_torso();
        if (pose.view == VIEW_BACK) {
            head(cv, ch, hc.x, hc.y, hr, VIEW_BACK, pose.face, true);
            draw_arm(arm_n, 1.0f);
            draw_arm(arm_f, 1.0f);
        } else {
            draw_arm(arm_n, 1.0f);
            draw_arm(arm_f, 1.0f);
            head(cv, ch, hc.x, hc.y, hr, VIEW_FRONT, pose.face, false);
        }
    }
    if (pose.camera) {
        // A camera held before the face, lens toward the front.
        Pt c = f.at(head_c + (side ? Pt{-19, 4} : Pt{0, 8}));
        float s = f.s;
        cv_round_rect(cv, c.x - 11 * s, c.y - 8 * s, c.x + 11 * s, c.y + 8 * s, 3 * s,
                      rgb(0x202028));
        cv_rect(cv, c.x - 4 * s, c.y - 11 * s, c.x + 4 * s, c.y - 7 * s, rgb(0x202028));
        cv_circle(cv, c.x - (side ? 6 : 0) * s, c.y + s, 5.5f * s, rgb(0x6070A0));
        cv_circle(cv, c.x - (side ? 6 : 0) * s, c.y + s, 3.0f * s, rgb(0x101018));
        cv_circle(cv, c.x + 7 * s, c.y - 4 * s, 1.6f * s, rgb(0xFFE080));
    }
}

void figure_portrait(Canvas &cv, const Character &ch, float x, float y, float w, float h,
                     Expression face) {
    Rgba back = rgb(ch.backdrop);
    cv_vgradient(cv, x, y, x + w, y + h, rgba_shade(back, 1.12f), rgba_shade(back, 0.82f));
    float r = 0.3f * h, cx = x + w * 0.5f, cy = y + 0.47f * h;
    head_back_hair(cv, ch, cx, cy, r, VIEW_FRONT);
    Rgba shirt = rgb(ch.shirt);
    cv_round_rect(cv, cx - 0.85f * w * 0.5f, y + 0.8f * h, cx + 0.85f * w * 0.5f, y + 1.4f * h,
                  0.2f * h, shirt);
    cv_rect(cv, cx - 0.22f * r, cy + 0.6f * r, cx + 0.22f * r, y + 0.82f * h,
            rgba_shade(rgb(ch.skin), 0.92f));
    cv_ellipse(cv, cx, y + 0.82f * h, 0.36f * r, 0.14f * r, rgb(ch.skin));
    head(cv, ch, cx, cy, r, VIEW_FRONT, face, false);
}
