// What the four 3D node kinds share: the SceneDrawSettings block (their kind ids, the overrides
// of special passes, the frame's draw counters), the packed DrawFlags word of each node, the
// NodeSortKey under which opaque nodes are queued, the device material, and the set-up and
// close of a view's 3D pass.
#pragma once
#include <cstdint>

#include "scene/node_material.h"
#include "scene/object_manager.h"

struct SceneDrawSettings {
    int32_t model_kind;     // 0
    int32_t mesh_kind;      // 1 piece-mesh nodes
    int32_t anim_kind;      // 2
    int32_t prim_kind;      // 3
    int32_t pass_arg;       // 4 second argument of the latest view_begin_3d_pass
    int32_t cull_override;  // 5 -1 none, else a cull index for every node
    int32_t fog_override;   // 6 -1 none, else FOGENABLE for every node
    int32_t alpha_ref_over; // 7 1: alpha-reference index 4 for every node
    int32_t sprite_blend;   // 8 1: 3D sprites draw with blend pair 7, fog off
    int32_t single_texture; // 9 1: each subset binds at most its first texture
    int32_t aux_pass;       // 10 1: the active aux camera; only nodes with DrawFlags bit 5
    int32_t mirror_pass;    // 11 1: the mirror camera; only nodes with DrawFlags bit 6
    int32_t draw_calls;     // 12 this frame
    int32_t batches;        // 13
    int32_t primitives;     // 14
};
static_assert(sizeof(SceneDrawSettings) == 15 * 4, "fifteen words");

// DrawFlags fields: shift and width.
enum DrawFlagField : uint32_t {
    DF_BLENDED = 0x0001,  // bit 0
    DF_LIGHTING = 0x0101, // bit 1
    DF_NEARBY_LIGHTS = 0x0201,
    DF_ZWRITE = 0x0301,
    DF_FOG = 0x0401,
    DF_AUX_PASS = 0x0501,
    DF_MIRROR_PASS = 0x0601,
    DF_BLEND_PAIR = 0x0705, // bits 7-11
    DF_CULL = 0x0C03,       // bits 12-14
    DF_BILLBOARD = 0x0F03,  // bits 15-17
    DF_SPHERE_CULL = 0x1201,
    DF_ALPHA_REF = 0x1303, // bits 19-21
    DF_ZFUNC = 0x1603,     // bits 22-24
    DF_FILTER = 0x1902,    // bits 25-26
    DF_FILL = 0x1B02,      // bits 27-28
};
constexpr uint32_t DRAW_FLAGS_DEFAULT = 0x02C4009Eu;

inline uint32_t drawflags_get(uint32_t flags, DrawFlagField field) {
    const uint32_t shift = (uint32_t)field >> 8, mask = (1u << ((uint32_t)field & 0xFF)) - 1;
    return (flags >> shift) & mask;
}
// Masks the value to the field's width and leaves the other bits.
inline void drawflags_set(uint32_t *flags, DrawFlagField field, uint32_t value) {
    const uint32_t shift = (uint32_t)field >> 8, mask = (1u << ((uint32_t)field & 0xFF)) - 1;
    *flags = (*flags & ~(mask << shift)) | (value & mask) << shift;
}
void node_init_draw_flags(uint32_t *flags);

// The key of an opaque node: its state fields and its shader id, so equal keys share states.
uint32_t node_sort_key(uint32_t draw_flags, uint16_t shader_id);
// The same layout from a piece's flags word, the top 14 bits from the owning node's index.
uint32_t piece_sort_key(uint32_t piece_flags, int32_t node_index);

// Registration and module hooks. scenedraw_init_settings zeroes the block and sets the
// overrides to -1; view_register_node_kinds does that, then registers the four kinds.
void scenedraw_init_settings(void);
void view_register_node_kinds(void);
void scenedraw_shutdown(void);
void scenedraw_scene_reset(void);
void scenedraw_scene_clear(void);
void scenedraw_frame_update(void);
void scenedraw_reset_counters(void);
SceneDrawSettings *scenedraw_settings(void);

SceneDrawSettings *scenedraw_set_cull_override(int32_t value);
SceneDrawSettings *scenedraw_set_fog_override(int32_t value);
SceneDrawSettings *scenedraw_set_alpha_ref_override(int32_t value);
SceneDrawSettings *scenedraw_set_sprite_blend_override(int32_t value);
SceneDrawSettings *scenedraw_set_single_texture(int32_t value);
SceneDrawSettings *scenedraw_set_aux_pass(int32_t value);
SceneDrawSettings *scenedraw_set_mirror_pass(int32_t value);
int32_t view_get_node_state7(void);
int32_t view_get_node_state8(void);
int32_t view_get_node_pass_arg(void);
int32_t scenedraw_get_aux_pass(void);
int32_t scenedraw_get_camera_select(void);

// Device material from ARGB words (each channel / 255).
void scenedraw_set_material(uint32_t ambient, uint32_t diffuse, uint32_t emissive,
                            uint32_t specular, float power);
void scenedraw_set_default_material(void);
uint32_t scenedraw_color_shift(uint32_t argb, uint32_t n);

// The set-up before a view's 3D layers are drawn and the reset after them.
void view_begin_3d_pass(int view, int32_t pass_arg);
void scenedraw_apply_linear_fog(int view);
void scenedraw_reset_states(void);
void scenedraw_unbind_textures(void);

// FOGENABLE of a node in the current pass: the override when set, else the view's fog mode
// together with the node's own fog bit (a view without fog draws no node fogged).
uint32_t scenedraw_node_fog(uint32_t node_fog_bit);
