// The actors of a chase: the player, the chased target (the board actor) with its hit counts and
// finish counter, and their short-lived decorations (exclamation captions and camera flashes).
// Each is a persistent 2D sprite whose update callback runs once per frame; its state lives in
// the object's user area.
#pragma once
#include <cstdint>

#include "resource/res_handle.h"
#include "scene/object_manager.h"

constexpr int32_t BOARD_POSE_COUNT = 22;
constexpr int32_t PLAYER_POSE_COUNT = 14;
constexpr int32_t CAPTION_COUNT = 8;
constexpr float ACTOR_ANCHOR_Y = 0.9791667f; // feet at the bottom of the crop

enum : uint32_t {
    BOARD_FLAG_FACING_RIGHT = 1u << 0,
    BOARD_FLAG_SET_SHIFT = 1, // catch pose set 0..3 in bits 1-2
    BOARD_FLAG_SET_MASK = 3u << 1,
    BOARD_FLAG_STOPPED = 1u << 3,
};

enum BoardState : uint8_t {
    BOARD_INTRO = 0,
    BOARD_RUN = 1,
    BOARD_STOPPED = 2,
    BOARD_CATCH = 3,
    BOARD_FINISH = 4,
};

// The target's state in its object's user area.
struct TargetActorData {
    uint32_t flags;
    int32_t entry;
    uint8_t state;
    uint8_t hit_cooldown;
    uint8_t turn;
    uint8_t edge;
    float x, y; // world x; y is the lane position of the feet
    ResourceHandle shadow;
    int32_t frame;
    float push_x, push_y;
    float speed;
    uint32_t hold;
    int16_t hits, max_hits;
    int32_t finish_counter;
};

enum : uint32_t {
    PLAYER_FLAG_FACING_RIGHT = 1u << 0,
    PLAYER_FLAG_SLOWED = 1u << 1,
    PLAYER_FLAG_SET_SHIFT = 2, // catch pose set in bits 2-4
    PLAYER_FLAG_SET_MASK = 7u << 2,
    PLAYER_FLAG_OPAQUE = 1u << 5,
};

enum PlayerState : uint8_t {
    PLAYER_RUN = 0,
    PLAYER_CATCH = 1,
    PLAYER_END = 2,
};

struct PlayerActorData {
    uint32_t flags;
    uint8_t state;
    int16_t jump_counter;
    int32_t jump_length;
    float x, y; // fixed screen x and lane y
    float scroll;
    int32_t frame;
    ResourceHandle shadow;
    float vx, vy;
};

// Target.
SceneObject *board_create(int32_t entry);
void board_destroy(void);
bool board_is_stopped(void);
int32_t board_finish_counter(void); // frames in the finish, 0 before it
float board_screen_x(void);
float board_y(void);
// Called by the player with its sprite position; true on a hit.
bool board_hit_test(float px, float py);
int board_update(SceneObject *object);
SceneObject *board_object(void);
TargetActorData *board_data(void); // null without a target
// The lead over the player that makes the target of an entry turn away.
float board_lead(int32_t entry);

// Player.
SceneObject *player_create(void);
void player_destroy(void);
float player_x(void);
float player_y(void);
int player_update(SceneObject *object);
SceneObject *player_object(void);
PlayerActorData *player_data(void); // null without a player

// Decorations.
SceneObject *fx_camera_flash(OwnerId owner, float x, float y);
SceneObject *fx_caption(OwnerId owner, int32_t index, uint32_t colour, float x, float y,
                        float lift);
// User-area accessors of an actor's object.
template <typename T> inline T *actor_data(SceneObject *object) {
    static_assert(sizeof(T) <= OBJ_USER_BYTES, "actor state stays within the user area");
    return reinterpret_cast<T *>(object->user);
}
