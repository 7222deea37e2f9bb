// The people of the data set: the ten entries' looks, their faces, and full figures in the
// poses the game asks for (drawn facing left; the game mirrors them to face right).
#pragma once
#include <cstdint>

#include "tools/datagen/canvas.h"

enum HairStyle {
    HAIR_SHORT,
    HAIR_LONG,
    HAIR_PONYTAIL,
    HAIR_TWINTAILS,
    HAIR_BOB,
    HAIR_BUN,
    HAIR_CAP
};

struct Character {
    const char *name;
    uint32_t skin, hair, shirt, legs, shoes, backdrop;
    HairStyle hair_style;
};

constexpr int ENTRY_COUNT = 10;
const Character &character_entry(int i); // 0..9
const Character &character_player(void);

enum View { VIEW_SIDE, VIEW_FRONT, VIEW_BACK };
enum Expression { FACE_CALM, FACE_SMILE, FACE_SURPRISED, FACE_JOY, FACE_SHUT };

// Segment angles in degrees: 0 hangs straight down, positive swings forward (side view, toward
// the left) or outward (front and back views). Each limb: upper then lower segment.
struct Pose {
    View view;
    float lean; // torso tilt forward, degrees
    float arm_near[2], arm_far[2];
    float leg_near[2], leg_far[2];
    Expression face;
    bool camera; // holds a camera before the face
    float lift;  // feet above the ground (a hop), pixels at scale 1
};

// Draws the character's head (radius r) centred at (cx, cy).
void figure_head(Canvas &cv, const Character &ch, float cx, float cy, float r, View view,
                 Expression face);
// Draws a full figure with its feet at (x, ground); a figure at scale 1 is about 136 px tall.
void figure_draw(Canvas &cv, const Character &ch, const Pose &pose, float x, float ground,
                 float scale);
// A head-and-shoulders portrait filling the w x h box at (x, y).
void figure_portrait(Canvas &cv, const Character &ch, float x, float y, float w, float h,
                     Expression face);
