// Whether this frame may draw layers 10-39 straight into the back buffer. The layer target's
// sprite copies the target texel for pixel over the whole back buffer, opaque, so the back
// buffer then holds exactly what the target held; drawing those layers into the back buffer
// itself, cleared to the target's clear colour, gives the same pixels as long as
//  - the target and its sprite are as the frame pass made them and shown 1:1;
//  - nothing drawn this frame samples the target (it would not hold this frame's layers),
//    neither an object nor a render view that draws the target's own sprite;
//  - nothing in layers 10-39 blends with the destination's alpha: the target stores alpha,
//    the back buffer does not (its alpha reads 1).
// What the layer-target pass draws on the back buffer before the sprite (layers 8-9 and the
// sprite's own layer ahead of it) is covered by the sprite, so the direct path skips it.

#include <cstdint>

#include "platform/gpu/gpu.h"
#include "render/gfx_device.h"
#include "render/gfx_frame.h"
#include "render/gfx_state.h"
#include "render/rtview.h"
#include "resource/res_pools.h"
#include "scene/anim_node.h"
#include "scene/model_node.h"
#include "scene/node_settings.h"
#include "scene/piece_node.h"
#include "scene/prim_node.h"
#include "scene/screen_prims.h"
#include "scene/sprite2d.h"
#include "scene/sprite3d.h"
#include "scene/text_label.h"
#include "scene/wire_prims.h"

namespace {

// The kinds as registered at start-up, read once per check.
struct Kinds {
    int32_t sprite, label, line, triangle, wire_line, wire_triangle, sprite3d;
    int32_t model, anim, mesh, prim;
};

Kinds registered_kinds(void) {
    return {sprite2d_kind_id(),  text2d_kind_id(),        line2d_kind_id(),   tri2d_kind_id(),
            wire_line_kind_id(), wire_triangle_kind_id(), sprite3d_kind_id(), mdlnode_kind_id(),
            animnode_kind_id(),  meshnode_kind_id(),      primnode_kind_id()};
}

// Render, screen, client and back-buffer sizes all equal, no orientation, and a target
// texture of that size.
bool target_shown_one_to_one(const TextureHandle *target) {
    const DisplayRecord *d = gfx_display();
    const DeviceState *ds = gfx_device_state();
    int32_t bw = 0, bh = 0;
    gpu_get_back_buffer_size(&bw, &bh);
    const int32_t w = d->render_width, h = d->render_height;
    return d->orientation == 0 && w > 0 && h > 0 && d->screen_width == w && d->screen_height == h &&
           d->client_width == w && d->client_height == h && ds->client_width == w &&
           ds->client_height == h && bw == w && bh == h && target && target->surface &&
           target->width == w && target->height == h;
}

// The sprite that shows the target: the whole texture, unscaled and unturned over the whole
// screen, white, opaque, point-sampled, no second texture, shader or clip.
bool sprite_as_made(const SceneObject *o, ResourceHandle target, const TextureHandle *t,
                    const Kinds &k) {
    if (o->kind != k.sprite || o->layer != GFX_LAYER_TARGET_LAYER) return false;
    const Sprite2D *s = obj_payload<Sprite2D>(o);
    static const float Whole[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int c = 0; c < 4; ++c)
        if (s->uv[c][0] != Whole[c][0] || s->uv[c][1] != Whole[c][1]) return false;
    const float w = (float)t->width, h = (float)t->height;
    return s->texture == target && s->texture2 == 0 && s->color == 0xFFFFFFFFu && s->blend == 0 &&
           s->shader_set == 0 && s->clip_w == 0 && s->rotation == 0.0f && s->sx == 1.0f &&
           s->sy == 1.0f && s->w == w && s->h == h && s->x - s->ax * w == 0.0f &&
           s->y - s->ay * h == 0.0f && s->uv_turn == 0 && s->uv_flip == 0 &&
           (s->filter == SPRITE2D_FILTER_AUTO || s->filter == SPRITE2D_FILTER_POINT);
}

bool in_target_layers(int32_t layer) {
    return layer >= GFX_TARGET_FIRST_LAYER && layer <= GFX_TARGET_LAST_LAYER;
}

bool reads_target_alpha(int32_t pair) {
    uint32_t src = 0, dst = 0;
    gfx_blend_factors(pair, &src, &dst);
    const auto dest_alpha = [](uint32_t f) {
        return f == GPU_BLEND_DESTALPHA || f == GPU_BLEND_INVDESTALPHA;
    };
    return dest_alpha(src) || dest_alpha(dst);
}

// Whether any loaded model's material names the texture: the model kinds bind their
// materials' textures, and a material is linked to its texture by name.
bool model_material_names(ResourceHandle texture) {
    const int32_t count = res_model_count();
    for (int32_t i = 0; i < count; ++i) {
        const ModelRecord *r = res_model_record(res_index_to_handle(i));
        if (!r || !r->data || !r->data->materials) continue;
        const uint32_t materials = r->data->material_word & 0xFF;
        for (uint32_t m = 0; m < materials; ++m) {
            const ModelMaterial &mat = r->data->materials[m];
            const uint32_t slots =
                mat.slot_count < RES_MATERIAL_SLOTS ? mat.slot_count : RES_MATERIAL_SLOTS;
            for (uint32_t j = 0; j < slots; ++j)
                if (mat.slot_textures[j] == texture) return true;
        }
    }
    return false;
}

struct Scan {
    Kinds kinds;
    ResourceHandle target;
    int32_t models_name_target; // -1 not looked up yet
};

bool models_name_target(Scan *scan) {
    if (scan->models_name_target < 0)
        scan->models_name_target = model_material_names(scan->target) ? 1 : 0;
    return scan->models_name_target == 1;
}

// Whether drawing the object may sample the target. Kinds the check does not know, and a
// primitive node's geometry callback (which may bind any texture), count as readers.
bool may_sample_target(SceneObject *o, Scan *scan) {
    const Kinds &k = scan->kinds;
    const ResourceHandle t = scan->target;
    const int32_t kind = o->kind;
    if (kind == k.sprite) {
        const Sprite2D *s = obj_payload<Sprite2D>(o);
        return s->texture == t || s->texture2 == t;
    }
    if (kind == k.label) return obj_payload<TextLabel2D>(o)->texture == t;
    if (kind == k.line || kind == k.triangle || kind == k.wire_line || kind == k.wire_triangle)
        return false; // untextured
    if (kind == k.sprite3d) {
        const Sprite3DHead &h = obj_payload<Sprite3D>(o)->head;
        return h.texture == t || h.texture2 == t;
    }
    if (kind == k.model || kind == k.anim) {
        // The override texture, else the materials of the node's models and attachments.
        return obj_payload<ModelNode>(o)->head.texture == t || models_name_target(scan);
    }
    if (kind == k.mesh) return models_name_target(scan);
    if (kind == k.prim) {
        const PrimNode *p = obj_payload<PrimNode>(o);
        return p->texture == t || p->callback != nullptr;
    }
    return true;
}

// Whether drawing the object may blend with the destination's alpha. The node kinds take
// their blend pairs from draw flags, attachments and pieces: they count as such.
bool may_blend_target_alpha(SceneObject *o, const Kinds &k) {
    const int32_t kind = o->kind;
    if (kind == k.sprite) return reads_target_alpha(obj_payload<Sprite2D>(o)->blend);
    if (kind == k.label) return reads_target_alpha(obj_payload<TextLabel2D>(o)->blend);
    if (kind == k.line)
        return reads_target_alpha((int32_t)(obj_payload<Line2D>(o)->state & PRIM2D_BLEND_MASK));
    if (kind == k.triangle)
        return reads_target_alpha((int32_t)(obj_payload<Triangle2D>(o)->state & PRIM2D_BLEND_MASK));
    if (kind == k.wire_line)
        return reads_target_alpha((int32_t)(obj_payload<WireLine>(o)->state & WIRE_BLEND_MASK));
    if (kind == k.wire_triangle)
        return reads_target_alpha((int32_t)(obj_payload<WireTriangle>(o)->state & WIRE_BLEND_MASK));
    if (kind == k.sprite3d) return reads_target_alpha(obj_payload<Sprite3D>(o)->head.blend);
    return true;
}

} // namespace

int32_t gfx_direct_layers_start(const SceneObject *target_sprite) {
    const LayerTarget *lt = gfx_layer_target();
    const TextureHandle *t = res_get_texture(lt->texture);
    if (!target_sprite || !target_shown_one_to_one(t)) return -1;
    Scan scan = {registered_kinds(), lt->texture, -1};
    if (!sprite_as_made(target_sprite, lt->texture, t, scan.kinds)) return -1;
    // A view of the sprite's layer draws the sprite, and so reads the target.
    if (rtview_any_draws_layer(target_sprite->layer)) return -1;

    // Every entry, whichever pass draws it: render views draw layer ranges of the same list.
    const DrawList *list = obj_get_draw_list();
    int32_t after = -1;
    for (uint32_t i = 0; i < list->count; ++i) {
        SceneObject *o = list->entries[i];
        if (o == target_sprite) {
            after = (int32_t)i + 1;
            continue;
        }
        if (may_sample_target(o, &scan)) return -1;
        if (in_target_layers(o->layer) && may_blend_target_alpha(o, scan.kinds)) return -1;
    }
    return after; // -1 when the sprite is not drawn this frame
}

bool gfx_target_read_before_fill(void) {
    const LayerTarget *lt = gfx_layer_target();
    if (!lt->texture) return false;
    Scan scan = {registered_kinds(), lt->texture, -1};
    const DrawList *list = obj_get_draw_list();
    for (uint32_t i = 0; i < list->count; ++i) {
        SceneObject *o = list->entries[i]; // the target's own sprite samples it too
        if (!may_sample_target(o, &scan)) continue;
        if (in_target_layers(o->layer) || rtview_any_draws_layer(o->layer)) return true;
    }
    return false;
}
