// Model records: creation, texture linking and release.
#include "resource/res_model.h"

#include <cstring>
#include <string>

#include "render/shader.h"
#include "resource/res_pools.h"
#include "resource/res_texture.h"

namespace {

// Room the mesh builder gets in an entry list: one entry fewer than are free.
uint32_t list_room(int32_t capacity, int32_t count) {
    const int32_t room = capacity - 1 - count;
    return room > 0 ? static_cast<uint32_t>(room) : 0;
}

// True when the layout's code has a vertex declaration (the fixed-function fallback would read
// the vertices with another layout).
bool layout_declared(const MeshDescription *d) {
    uint32_t code = 0;
    if (!gfx_mesh_layout(d, &code, nullptr)) return false;
    return shader_vertex_decl_code(shader_find_vertex_decl(code)) == code;
}

// Copies the description's materials into the pool, storing each slot's texture name part.
void store_materials(ModelPool &m, ModelMaterial *out, const MeshDescription *d, const char *group,
                     uint32_t flags) {
    const ModelMaterial *in = static_cast<const ModelMaterial *>(d->materials);
    const char *nrm_group = nullptr;
    if (flags & 1u)
        nrm_group = res_intern_group((std::string(group ? group : "") + "_NRM").c_str());
    for (uint32_t k = 0; k < d->material_count; ++k) {
        ModelMaterial &mat = out[k];
        mat = ModelMaterial{};
        std::memcpy(mat.words, in[k].words, sizeof(mat.words));
        if (!in[k].slot_count || !in[k].slot_names[0]) continue;
        char part[256];
        res_name_of_path(part, sizeof(part), in[k].slot_names[0]);
        mat.slot_count = 1;
        mat.slot_groups[0] = group;
        mat.slot_names[0] = res_store_name(&m.material_names, part);
        if (!(flags & 1u)) continue;
        char joined[256];
        res_name_join(joined, sizeof(joined), part, "normal");
        mat.slot_count = 2;
        mat.slot_groups[1] = nrm_group;
        mat.slot_names[1] = res_store_name(&m.material_names, joined);
        if (!(flags & 2u)) continue;
        res_name_join(joined, sizeof(joined), part, "specular");
        mat.slot_count = 3;
        mat.slot_groups[2] = nrm_group;
        mat.slot_names[2] = res_store_name(&m.material_names, joined);
    }
}

} // namespace

ResourceHandle res_create_model(const char *group, const char *name, const MeshDescription *desc,
                                uint32_t flags) {
    if (!name || !desc) return 0;
    char part[256];
    res_name_of_path(part, sizeof(part), name);
    const char *g = res_intern_group(group);
    if (ResourceHandle h = res_find_model(group, part)) return h;
    ModelPool &m = res_pools()->models;
    if (m.count >= m.capacity || m.subset_count >= m.subset_capacity ||
        m.bone_count >= m.bone_capacity)
        return 0;
    if (desc->material_count > static_cast<uint32_t>(m.subset_capacity - m.material_count) ||
        (desc->material_count && !desc->materials) || !layout_declared(desc))
        return 0;

    // Undo marks: every buffer and list goes back here when the mesh cannot be built.
    uint8_t *names_at = m.names.cursor;
    uint8_t *materials_at = m.material_names.cursor;
    uint8_t *bones_at = m.bone_names.cursor;
    const int32_t first_material = m.material_count;

    ModelMaterial *materials = m.materials + first_material;
    store_materials(m, materials, desc, g, flags);
    m.material_count += static_cast<int32_t>(desc->material_count);
    MeshDescBone bones[128];
    const uint32_t bone_count = desc->bone_count <= 128 ? desc->bone_count : 0;
    for (uint32_t b = 0; b < bone_count; ++b) {
        bones[b] = desc->bones[b];
        bones[b].name = res_store_name(&m.bone_names, desc->bones[b].name);
    }
    MeshDescription d = *desc;
    d.bones = bone_count ? bones : nullptr;
    d.materials = materials;

    const int32_t index = m.count++;
    ModelRecord *r = &m.records[index];
    *r = ModelRecord{};
    uint32_t kept = 0, kept_bones = 0;
    const bool built =
        desc->bone_count <= 128 &&
        gfx_build_mesh_buffers(&r->mesh, &d, m.subsets + m.subset_count,
                               list_room(m.subset_capacity, m.subset_count), m.bones + m.bone_count,
                               list_room(m.bone_capacity, m.bone_count), &kept, &kept_bones, flags);
    if (!built) {
        --m.count;
        *r = ModelRecord{};
        m.names.cursor = names_at;
        m.material_names.cursor = materials_at;
        m.bone_names.cursor = bones_at;
        m.material_count = first_material;
        return 0;
    }
    m.subset_count += static_cast<int32_t>(kept);
    m.bone_count += static_cast<int32_t>(kept_bones);
    ModelData *data = &m.data[index];
    *data = ModelData{};
    data->flags = flags;
    data->material_word = desc->material_count & 0xFF;
    data->materials = materials;
    const uint64_t bytes =
        (uint64_t)r->mesh.vertex_count * r->mesh.stride + (uint64_t)r->mesh.index_count * 2;
    data->vertex_bytes = bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
    r->data = data;
    res_fill_header(&r->header, &m.names, g, part);
    res_pools()->model_memory += data->vertex_bytes;
    if (m.count > m.highest_count) m.highest_count = m.count;
    if (m.subset_count > m.highest_subsets) m.highest_subsets = m.subset_count;
    if (m.bone_count > m.highest_bones) m.highest_bones = m.bone_count;
    return res_index_to_handle(index);
}

void res_link_model_textures(void) {
    ModelPool &m = res_pools()->models;
    for (int32_t i = 0; i < m.count; ++i) {
        ModelData *d = m.records[i].data;
        if (!d) continue;
        uint32_t material_count = d->material_word & 0xFF;
        d->first_texture = 0;
        bool have_first = false;
        for (uint32_t k = 0; d->materials && k < material_count; ++k) {
            ModelMaterial &mat = d->materials[k];
            uint32_t slots =
                mat.slot_count < RES_MATERIAL_SLOTS ? mat.slot_count : RES_MATERIAL_SLOTS;
            for (uint32_t j = 0; j < slots; ++j) {
                const char *name = mat.slot_names[j];
                if (!name || !name[0]) {
                    mat.slot_textures[j] = 0;
                    continue;
                }
                if (mat.slot_textures[j]) continue;
                ResourceHandle h = res_find_texture(mat.slot_groups[j], name);
                if (!h && (d->flags & 1u) && j == 1) h = res_flat_normal_texture();
                if (!h && (d->flags & 2u) && j == 2) h = res_black_texture();
                mat.slot_textures[j] = h;
            }
            if (!have_first && slots > 0 && mat.slot_textures[0]) {
                d->first_texture = static_cast<uint16_t>(mat.slot_textures[0]);
                have_first = true;
            }
        }
    }
}

// Moves `*lowest` down to `p` when `p` is stored and lies below it.
static void note_lowest(const char **lowest, const char *p) {
    if (p && (!*lowest || p < *lowest)) *lowest = p;
}

void res_release_model(ResourceHandle handle) {
    ModelRecord *r = res_model_record(handle);
    if (!r) return;
    ResourcePools *pools = res_pools();
    ModelPool &m = pools->models;
    if (ModelData *d = r->data) {
        pools->model_memory -=
            d->vertex_bytes < pools->model_memory ? d->vertex_bytes : pools->model_memory;
        // Each buffer goes back to the lowest name the model stored in it, which is where the
        // model's names began.
        const char *lowest = nullptr;
        for (uint32_t k = 0; d->materials && k < (d->material_word & 0xFF); ++k)
            for (uint32_t j = 0; j < RES_MATERIAL_SLOTS; ++j)
                note_lowest(&lowest, d->materials[k].slot_names[j]);
        res_buffer_rewind(&m.material_names, lowest);
        lowest = nullptr;
        for (uint32_t b = 0; r->mesh.bones && b < ((r->mesh.counts_flags >> 8) & 0xFF); ++b)
            note_lowest(&lowest, r->mesh.bones[b].name);
        res_buffer_rewind(&m.bone_names, lowest);
        if (d->materials && d->materials >= m.materials &&
            d->materials < m.materials + m.material_count)
            m.material_count = static_cast<int32_t>(d->materials - m.materials);
        *d = ModelData{};
    }
    res_buffer_rewind(&m.names, r->header.name);
    gfx_release_mesh_buffers(&r->mesh);
    r->header = ResourceRecordHeader{};
    r->data = nullptr;
}
