// Resource pools: groups, textures, crops, depth surfaces, models, frame hierarchies, motions,
// collision meshes, shape sets and camera tracks in fixed pools filled like stacks, named by
// group and name, handed out as handles, and released newest first back to a mark.
#pragma once
#include <cstdint>

#include "render/gfx_mesh.h"
#include "render/gfx_texture.h"
#include "resource/names.h"
#include "resource/res_handle.h"
#include "resource/res_matrix.h"

struct ResourceRecordHeader {
    const char *group; // interned group text, null when made without a group
    NameHash group_hash;
    const char *name; // stored in the pool's name buffer; null when it did not fit
    NameHash name_hash;
};

struct GroupEntry {
    const char *text;
    NameHash hash;
};

struct TextureRecord {
    ResourceRecordHeader header;
    uint16_t *size; // the width and height fields of `texture`
    TextureHandle texture;
};

// Drawn from (u0, v0) to (u0 + u_size, v0 + v_size) in texture coordinates.
struct CropRecord {
    ResourceRecordHeader header;
    ResourceHandle texture; // may be 0
    float u0, v0;
    float u_size, v_size;
};

struct DepthSurfaceRecord {
    ResourceRecordHeader header;
    SurfaceHandle surface;
};

constexpr int RES_MATERIAL_SLOTS = 4;

// One material of a model: three words of the data file and up to four texture slots.
struct ModelMaterial {
    uint32_t words[3];
    const char *slot_groups[RES_MATERIAL_SLOTS];
    const char *slot_names[RES_MATERIAL_SLOTS];
    ResourceHandle slot_textures[RES_MATERIAL_SLOTS];
    uint32_t slot_count;
};

// What a model keeps beside its mesh buffers.
struct ModelData {
    uint32_t flags;         // bit 0 normal maps, bit 1 specular maps
    uint32_t material_word; // material count in the low 8 bits
    ModelMaterial *materials;
    uint16_t first_texture; // slot-0 texture of the first material that has one
    uint32_t vertex_bytes;  // vertex count x vertex size + index count x 2
};

struct ModelRecord {
    ResourceRecordHeader header;
    ModelData *data;
    MeshBuffers mesh;
};

struct HierarchyRecord {
    ResourceRecordHeader header;
    uint8_t *frames; // copy of the chunk body, checked when stored (resource/res_frames.h)
    uint32_t size;
    uint32_t named_count;
    uint32_t matrix_count;
    int32_t depth;  // deepest nesting of the frame list
    uint32_t stamp; // creation number, never 0: tells a record from a later one in its place
};

struct MotionRecord {
    ResourceRecordHeader header;
    uint8_t *data; // copy of the chunk body, checked when stored (resource/res_motion.h)
    uint32_t size;
};

struct CollisionMeshRecord {
    ResourceRecordHeader header;
    uint8_t *data; // validated body (resource/res_collmesh.h reads it)
    uint32_t size;
    uint32_t stamp; // creation number, never 0: tells a record from a later one in its place
};

struct ShapeSetRecord {
    ResourceRecordHeader header;
    uint8_t *data;
    uint32_t size;
    float radius; // largest sphere reach from the origin
};

struct CameraTrackRecord {
    ResourceRecordHeader header;
    uint32_t key_count;
    uint32_t word;
    float values[2];
    uint8_t *keys; // key count x 16 bytes
};

// Byte buffer filled from the front; names and data are stored at the cursor.
struct ResourceBuffer {
    uint8_t *start;
    uint8_t *cursor;
    uint32_t size;
    uint32_t highest_used;
};

// Record array with its name buffer and, for data pools, its data buffer.
template <typename Record> struct ResourcePool {
    int32_t count;
    Record *records;
    ResourceBuffer names;
    ResourceBuffer data;
    int32_t capacity;
    int32_t highest_count;
};

struct ModelPool {
    int32_t count;
    int32_t subset_count; // list A
    int32_t bone_count;   // list B
    ModelRecord *records;
    MeshSubset *subsets;
    MeshBone *bones;
    ModelData *data; // one per record
    // Materials of the models, each model's in one run, released newest first like the
    // records (room for as many as list A).
    ModelMaterial *materials;
    int32_t material_count;
    ResourceBuffer names;
    ResourceBuffer material_names;
    ResourceBuffer bone_names;
    int32_t capacity, subset_capacity, bone_capacity;
    int32_t highest_count, highest_subsets, highest_bones;
};

// Counters in the order a mark keeps them.
enum ResourceCounter {
    RES_COUNT_GROUPS,
    RES_COUNT_TEXTURES,
    RES_COUNT_CROPS,
    RES_COUNT_DEPTH_SURFACES,
    RES_COUNT_MODELS,
    RES_COUNT_SUBSETS,
    RES_COUNT_BONES,
    RES_COUNT_HIERARCHIES,
    RES_COUNT_MOTIONS,
    RES_COUNT_COLLMESHES,
    RES_COUNT_SHAPE_SETS,
    RES_COUNT_CAMERA_TRACKS,
    RES_COUNTER_COUNT
};

struct ResourceMark {
    uint32_t valid; // 1 after a mark is taken, 0 after release
    int32_t counts[RES_COUNTER_COUNT];
};

enum ResourceBuiltin {
    RES_BUILTIN_WHITE,
    RES_BUILTIN_BLACK,
    RES_BUILTIN_GREEN,
    RES_BUILTIN_CYAN,
    RES_BUILTIN_MAGENTA,
    RES_BUILTIN_FLAT_NORMAL,
    RES_BUILTIN_COUNT
};

struct ResourcePools {
    ResourcePool<GroupEntry> groups;
    ResourcePool<TextureRecord> textures;
    ResourcePool<CropRecord> crops;
    ResourcePool<DepthSurfaceRecord> depth_surfaces;
    ModelPool models;
    ResourcePool<HierarchyRecord> hierarchies;
    ResourcePool<MotionRecord> motions;
    ResourcePool<CollisionMeshRecord> collmeshes;
    ResourcePool<ShapeSetRecord> shape_sets;
    ResourcePool<CameraTrackRecord> camera_tracks;
    PiecePool pieces;
    MatrixStack matrices;
    uint32_t texture_memory; // bytes of textures and depth surfaces
    uint32_t model_memory;   // vertex and index bytes of models
    ResourceHandle builtins[RES_BUILTIN_COUNT];
    ResourceMark mark;
};

// Capacity and buffer sizes of one pool.
struct ResourcePoolSize {
    int32_t capacity;
    uint32_t name_bytes;
    uint32_t data_bytes;
};

struct ResourcePoolSizes {
    ResourcePoolSize groups, textures, crops, depth_surfaces;
    ResourcePoolSize hierarchies, motions, collmeshes, shape_sets, camera_tracks;
    // Models: capacity, subset list capacity, bone list capacity, and three byte buffers.
    int32_t models, model_subsets, model_bones;
    uint32_t model_name_bytes, material_name_bytes, bone_name_bytes;
};

// The program's sizes: 32 groups, 64 textures, 256 crops, 16 depth surfaces, one record and
// one byte for each 3D pool.
const ResourcePoolSizes *res_default_sizes(void);

// Starts the pools with the given sizes (null: the program's). Tests may start them larger.
void res_init(const ResourcePoolSizes *sizes = nullptr);
void res_shutdown(void);
ResourcePools *res_pools(void);

ResourceHandle res_index_to_handle(int32_t index);
int32_t res_handle_to_index(ResourceHandle handle, int32_t count);

// The creation rule of the pools: the next record, cleared, is handed to `fill` (bool(R *)); a
// full pool or a fill that fails gives 0 and leaves the pool as it was.
template <typename R, typename Fill> ResourceHandle res_pool_add(ResourcePool<R> *p, Fill fill) {
    if (p->count >= p->capacity) return 0;
    int32_t index = p->count++;
    R *r = &p->records[index];
    *r = R{};
    if (!fill(r)) {
        --p->count;
        *r = R{};
        return 0;
    }
    if (p->count > p->highest_count) p->highest_count = p->count;
    return res_index_to_handle(index);
}

// Renames a record in the room its name already takes in the pool's name buffer: the room
// runs to the next record's stored name (for the newest name, to the cursor). The new text and
// its hash are stored when it fits; otherwise false and the record keeps its name. The names
// packed after it never move, so a release back to a mark still rewinds the buffer correctly.
template <typename R>
bool res_pool_rename(ResourcePool<R> *p, ResourceHandle handle, const char *name) {
    const int32_t i = res_handle_to_index(handle, p->count);
    if (i < 0 || !name || !p->records[i].header.name) return false;
    char *at = const_cast<char *>(p->records[i].header.name);
    const char *end = reinterpret_cast<const char *>(p->names.cursor);
    for (int32_t k = i + 1; k < p->count; ++k) {
        if (p->records[k].header.name) {
            end = p->records[k].header.name;
            break;
        }
    }
    size_t n = 0;
    while (name[n]) ++n;
    if (end < at || n + 1 > static_cast<size_t>(end - at)) return false;
    for (size_t c = 0; c <= n; ++c) at[c] = name[c];
    p->records[i].header.name_hash = res_hash_name(at);
    return true;
}

// Name storage: a text of n characters is stored when n + 2 bytes are free. Null when it does
// not fit.
const char *res_store_name(ResourceBuffer *buffer, const char *text);
// Data storage at the cursor rounded up to 4; null when it does not fit.
uint8_t *res_store_data(ResourceBuffer *buffer, const void *data, uint32_t size);
// Moves the cursor back to `p` when it lies inside the buffer.
void res_buffer_rewind(ResourceBuffer *buffer, const void *p);
// Fills a record header: the interned group with its hash, the name stored in `names`.
void res_fill_header(ResourceRecordHeader *header, ResourceBuffer *names, const char *group,
                     const char *name);

const char *res_intern_group(const char *name);
ResourceHandle res_find_group(const char *name);
void res_release_group(ResourceHandle handle);
int32_t res_group_count(void);
const GroupEntry *res_group_entry(ResourceHandle handle);

// Finds: group null matches any group; records whose name did not fit are passed over.
ResourceHandle res_find_texture(const char *group, const char *name);
ResourceHandle res_find_crop(const char *group, const char *name);
ResourceHandle res_find_depth_surface(const char *group, const char *name);
ResourceHandle res_find_model(const char *group, const char *name);
ResourceHandle res_find_hierarchy(const char *group, const char *name);
ResourceHandle res_find_motion(const char *group, const char *name);
ResourceHandle res_find_collmesh(const char *group, const char *name);
ResourceHandle res_find_shape_set(const char *group, const char *name);
ResourceHandle res_find_camera_track(const char *group, const char *name);

void res_mark(ResourceMark *mark);
// Frees, newest first, everything made after the mark, then resets the data loader. A mark
// that is not valid (never taken, or released already) changes nothing.
void res_release_to_mark(ResourceMark *mark);
void res_link_model_textures(void);
uint32_t res_texture_memory(void);
uint32_t res_model_memory(void);

int32_t res_texture_count(void);
int32_t res_crop_count(void);
int32_t res_depth_surface_count(void);
int32_t res_model_count(void);
int32_t res_hierarchy_count(void);
int32_t res_motion_count(void);
int32_t res_collmesh_count(void);
int32_t res_shape_set_count(void);
int32_t res_camera_track_count(void);

TextureRecord *res_texture_record(ResourceHandle handle);
CropRecord *res_get_crop(ResourceHandle handle);
DepthSurfaceRecord *res_depth_surface_record(ResourceHandle handle);
ModelRecord *res_model_record(ResourceHandle handle);
HierarchyRecord *res_hierarchy_record(ResourceHandle handle);
MotionRecord *res_motion_record(ResourceHandle handle);
CollisionMeshRecord *res_collmesh_record(ResourceHandle handle);
ShapeSetRecord *res_shapeset_record(ResourceHandle handle);
CameraTrackRecord *res_camera_track_record(ResourceHandle handle);

const char *res_texture_name(ResourceHandle handle);
const char *res_crop_name(ResourceHandle handle);
const char *res_depth_surface_name(ResourceHandle handle);
const char *res_model_name(ResourceHandle handle);
const char *res_hierarchy_name(ResourceHandle handle);
const char *res_motion_name(ResourceHandle handle);
const char *res_collmesh_name(ResourceHandle handle);
const char *res_shape_set_name(ResourceHandle handle);
const char *res_camera_track_name(ResourceHandle handle);

const char *res_texture_group(ResourceHandle handle);
const char *res_crop_group(ResourceHandle handle);
const char *res_depth_surface_group(ResourceHandle handle);
const char *res_model_group(ResourceHandle handle);
const char *res_hierarchy_group(ResourceHandle handle);
const char *res_motion_group(ResourceHandle handle);
const char *res_collmesh_group(ResourceHandle handle);

TextureHandle *res_get_texture(ResourceHandle handle);
SurfaceHandle *res_get_depth_surface(ResourceHandle handle);
MeshBuffers *res_get_model(ResourceHandle handle);
uint32_t res_model_flags(ResourceHandle handle);

// Record walks: each record is fetched in turn; the result is the pool's count.
int32_t res_walk_models(void);
int32_t res_walk_textures(void);
int32_t res_walk_crops(void);
int32_t res_walk_hierarchies(void);
int32_t res_walk_motions(void);
int32_t res_walk_collmeshes(void);
int32_t res_walk_shape_sets(void);
int32_t res_walk_camera_tracks(void);

void res_release_model(ResourceHandle handle);
void res_release_hierarchy(ResourceHandle handle);
void res_release_motion(ResourceHandle handle);
void res_release_collmesh(ResourceHandle handle);
void res_release_shape_set(ResourceHandle handle);
void res_release_camera_track(ResourceHandle handle);

// Data creators of the 3D pools: the body is copied into the pool's data buffer. An existing
// (group, name) gives its handle; a full pool or data that does not fit gives 0.
ResourceHandle res_create_hierarchy(const char *group, const char *name, const uint8_t *body,
                                    uint32_t size);
ResourceHandle res_create_motion(const char *group, const char *name, const uint8_t *body,
                                 uint32_t size);
ResourceHandle res_create_collmesh(const char *group, const char *name, const uint8_t *body,
                                   uint32_t size);
ResourceHandle res_create_shape_set(const char *group, const char *name, const uint8_t *body,
                                    uint32_t size);
ResourceHandle res_create_camera_track(const char *group, const char *name, const uint8_t *keys,
                                       uint32_t key_count, uint32_t word, float value0,
                                       float value1);
