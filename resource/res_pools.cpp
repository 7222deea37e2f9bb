// Resource pools: storage rules, groups, finds, marks, release to a mark, accessors.
#include "resource/res_pools.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "resource/loader.h"
#include "resource/res_collmesh.h"
#include "resource/res_frames.h"
#include "resource/res_motion.h"
#include "resource/res_texture.h"

static ResourcePools g_pools;
static bool g_started;

const ResourcePoolSizes *res_default_sizes(void) {
    static const ResourcePoolSizes sizes = {
        {32, 256, 0},
        {64, 2048, 0},
        {256, 2048, 0},
        {16, 384, 0},
        {1, 1, 1},
        {1, 1, 1},
        {1, 1, 1},
        {1, 1, 1},
        {1, 1, 1},
        1,
        1,
        1,
        1,
        1,
        1,
    };
    return &sizes;
}

ResourcePools *res_pools(void) {
    return &g_pools;
}

// ---------------------------------------------------------------------------------------------
// Buffers

static void buffer_alloc(ResourceBuffer *b, uint32_t size) {
    b->start = size ? static_cast<uint8_t *>(std::calloc(size, 1)) : nullptr;
    b->size = b->start ? size : 0;
    b->cursor = b->start;
    b->highest_used = 0;
}

static void buffer_free(ResourceBuffer *b) {
    std::free(b->start);
    *b = ResourceBuffer{};
}

static void buffer_note_use(ResourceBuffer *b) {
    uint32_t used = static_cast<uint32_t>(b->cursor - b->start);
    if (used > b->highest_used) b->highest_used = used;
}

const char *res_store_name(ResourceBuffer *b, const char *text) {
    if (!b->start || !text) return nullptr;
    size_t n = std::strlen(text);
    size_t used = static_cast<size_t>(b->cursor - b->start);
    // A text of n characters needs n + 2 free bytes: cursor + n + 1 < end.
    if (used + n + 1 >= b->size) return nullptr;
    char *stored = reinterpret_cast<char *>(b->cursor);
    std::memcpy(stored, text, n + 1);
    b->cursor += n + 1;
    buffer_note_use(b);
    return stored;
}

uint8_t *res_store_data(ResourceBuffer *b, const void *data, uint32_t size) {
    if (!b->start) return nullptr;
    size_t used = static_cast<size_t>(b->cursor - b->start);
    size_t rounded = (used + 3) & ~static_cast<size_t>(3);
    if (rounded + size >= b->size) return nullptr;
    uint8_t *stored = b->start + rounded;
    if (data && size) std::memcpy(stored, data, size);
    // The cursor advances by (size + 4) with bit 2 cleared; the next store rounds it up again.
    size_t advance = (static_cast<size_t>(size) + 4) & ~static_cast<size_t>(4);
    b->cursor = b->start + rounded + advance;
    if (b->cursor > b->start + b->size) b->cursor = b->start + b->size;
    buffer_note_use(b);
    return stored;
}

void res_buffer_rewind(ResourceBuffer *b, const void *p) {
    const uint8_t *q = static_cast<const uint8_t *>(p);
    if (q && b->start && q >= b->start && q < b->start + b->size)
        b->cursor = const_cast<uint8_t *>(q);
}

// ---------------------------------------------------------------------------------------------
// Pools

template <typename R> static void pool_alloc(ResourcePool<R> *p, const ResourcePoolSize &s) {
    p->count = 0;
    p->capacity = s.capacity > 0 ? s.capacity : 0;
    p->records = p->capacity ? static_cast<R *>(std::calloc(p->capacity, sizeof(R))) : nullptr;
    if (!p->records) p->capacity = 0;
    buffer_alloc(&p->names, s.name_bytes);
    buffer_alloc(&p->data, s.data_bytes);
    p->highest_count = 0;
}

template <typename R> static void pool_free(ResourcePool<R> *p) {
    std::free(p->records);
    buffer_free(&p->names);
    buffer_free(&p->data);
    *p = ResourcePool<R>{};
}

template <typename R> static R *pool_record(ResourcePool<R> *p, ResourceHandle h) {
    int32_t i = res_handle_to_index(h, p->count);
    return i < 0 ? nullptr : &p->records[i];
}

ResourceHandle res_index_to_handle(int32_t index) {
    return static_cast<ResourceHandle>(index + 1);
}

int32_t res_handle_to_index(ResourceHandle handle, int32_t count) {
    int64_t i = static_cast<int64_t>(static_cast<int32_t>(handle)) - 1;
    return (i >= 0 && i < count) ? static_cast<int32_t>(i) : -1;
}

// The find rule shared by every pool with a record header.
template <typename R>
static ResourceHandle pool_find(const ResourcePool<R> *p, const char *group, const char *name) {
    if (!name) return 0;
    NameHash nh = res_hash_name(name);
    NameHash gh = res_hash_name(group);
    for (int32_t i = 0; i < p->count; ++i) {
        const ResourceRecordHeader &h = p->records[i].header;
        if (h.name_hash != nh || !h.name || std::strcmp(h.name, name) != 0) continue;
        if (group) {
            if (h.group_hash != gh) continue;
            if (h.group_hash != 0 && (!h.group || std::strcmp(h.group, group) != 0)) continue;
        }
        return res_index_to_handle(i);
    }
    return 0;
}

void res_fill_header(ResourceRecordHeader *h, ResourceBuffer *names, const char *group,
                     const char *name) {
    h->group = group;
    h->group_hash = res_hash_name(group);
    h->name = res_store_name(names, name);
    h->name_hash = res_hash_name(name);
}

// ---------------------------------------------------------------------------------------------
// Start and end

static void model_pool_alloc(ModelPool *m, const ResourcePoolSizes &s) {
    *m = ModelPool{};
    m->capacity = s.models > 0 ? s.models : 0;
    m->subset_capacity = s.model_subsets > 0 ? s.model_subsets : 0;
    m->bone_capacity = s.model_bones > 0 ? s.model_bones : 0;
    m->records = static_cast<ModelRecord *>(std::calloc(m->capacity + 1, sizeof(ModelRecord)));
    m->data = static_cast<ModelData *>(std::calloc(m->capacity + 1, sizeof(ModelData)));
    m->subsets = static_cast<MeshSubset *>(std::calloc(m->subset_capacity + 1, sizeof(MeshSubset)));
    m->bones = static_cast<MeshBone *>(std::calloc(m->bone_capacity + 1, sizeof(MeshBone)));
    m->materials =
        static_cast<ModelMaterial *>(std::calloc(m->subset_capacity + 1, sizeof(ModelMaterial)));
    if (!m->records || !m->data || !m->subsets || !m->bones || !m->materials) m->capacity = 0;
    buffer_alloc(&m->names, s.model_name_bytes);
    buffer_alloc(&m->material_names, s.material_name_bytes);
    buffer_alloc(&m->bone_names, s.bone_name_bytes);
}

static void model_pool_free(ModelPool *m) {
    std::free(m->records);
    std::free(m->data);
    std::free(m->subsets);
    std::free(m->bones);
    std::free(m->materials);
    buffer_free(&m->names);
    buffer_free(&m->material_names);
    buffer_free(&m->bone_names);
    *m = ModelPool{};
}

static void free_all(void) {
    pool_free(&g_pools.groups);
    pool_free(&g_pools.textures);
    pool_free(&g_pools.crops);
    pool_free(&g_pools.depth_surfaces);
    model_pool_free(&g_pools.models);
    pool_free(&g_pools.hierarchies);
    pool_free(&g_pools.motions);
    pool_free(&g_pools.collmeshes);
    pool_free(&g_pools.shape_sets);
    pool_free(&g_pools.camera_tracks);
}

static void make_builtins(void) {
    static const struct {
        const char *name;
        uint32_t argb;
    } BUILTINS[RES_BUILTIN_COUNT] = {
        {"wh", 0xFFFFFFFF}, {"bl", 0xFF000000},  {"gr", 0xFF00FF00},
        {"cy", 0xFF00FFFF}, {"mag", 0xFFFF00FF}, {"nrm", 0xFF8080FF},
    };
    for (int i = 0; i < RES_BUILTIN_COUNT; ++i) {
        ResourceHandle h = res_create_texture("disp", BUILTINS[i].name, 1, 1, 0);
        g_pools.builtins[i] = h;
        if (h) res_texture_fill(h, 0, 0, 1, 1, &BUILTINS[i].argb);
    }
}

void res_init(const ResourcePoolSizes *sizes) {
    if (g_started) res_shutdown();
    const ResourcePoolSizes &s = sizes ? *sizes : *res_default_sizes();
    g_pools = ResourcePools{};
    pool_alloc(&g_pools.groups, s.groups);
    pool_alloc(&g_pools.textures, s.textures);
    pool_alloc(&g_pools.crops, s.crops);
    pool_alloc(&g_pools.depth_surfaces, s.depth_surfaces);
    model_pool_alloc(&g_pools.models, s);
    pool_alloc(&g_pools.hierarchies, s.hierarchies);
    pool_alloc(&g_pools.motions, s.motions);
    pool_alloc(&g_pools.collmeshes, s.collmeshes);
    pool_alloc(&g_pools.shape_sets, s.shape_sets);
    pool_alloc(&g_pools.camera_tracks, s.camera_tracks);
    res_matrix_reset();
    res_pieces_reset();
    g_started = true;
    // The pools' own mark comes before the built-ins, so that shutdown releases them too.
    res_mark(&g_pools.mark);
    make_builtins();
}

void res_shutdown(void) {
    if (!g_started) return;
    res_release_to_mark(&g_pools.mark);
    free_all();
    g_pools = ResourcePools{};
    g_started = false;
}

// ---------------------------------------------------------------------------------------------
// Groups

ResourceHandle res_find_group(const char *name) {
    if (!name) return 0;
    NameHash h = res_hash_name(name);
    const ResourcePool<GroupEntry> &p = g_pools.groups;
    for (int32_t i = 0; i < p.count; ++i) {
        const GroupEntry &e = p.records[i];
        if (e.hash == h && e.text && std::strcmp(e.text, name) == 0) return res_index_to_handle(i);
    }
    return 0;
}

const char *res_intern_group(const char *name) {
    if (!name) return nullptr;
    ResourceHandle h = res_find_group(name);
    if (h) return g_pools.groups.records[h - 1].text;
    ResourcePool<GroupEntry> &p = g_pools.groups;
    if (p.count >= p.capacity) return nullptr; // a full table takes no further group
    // A name that does not fit the buffer adds no entry: an entry without a text would take a
    // slot and could never be found.
    const char *text = res_store_name(&p.names, name);
    if (!text) return nullptr;
    p.records[p.count] = GroupEntry{text, res_hash_name(name)};
    ++p.count;
    if (p.count > p.highest_count) p.highest_count = p.count;
    return text;
}

void res_release_group(ResourceHandle handle) {
    GroupEntry *e = pool_record(&g_pools.groups, handle);
    if (!e) return;
    res_buffer_rewind(&g_pools.groups.names, e->text);
    *e = GroupEntry{};
}

int32_t res_group_count(void) {
    return g_pools.groups.count;
}
const GroupEntry *res_group_entry(ResourceHandle h) {
    return pool_record(&g_pools.groups, h);
}

// ---------------------------------------------------------------------------------------------
// Finds

ResourceHandle res_find_texture(const char *g, const char *n) {
    return pool_find(&g_pools.textures, g, n);
}
ResourceHandle res_find_crop(const char *g, const char *n) {
    return pool_find(&g_pools.crops, g, n);
}
ResourceHandle res_find_depth_surface(const char *g, const char *n) {
    return pool_find(&g_pools.depth_surfaces, g, n);
}
ResourceHandle res_find_hierarchy(const char *g, const char *n) {
    return pool_find(&g_pools.hierarchies, g, n);
}
ResourceHandle res_find_motion(const char *g, const char *n) {
    return pool_find(&g_pools.motions, g, n);
}
ResourceHandle res_find_collmesh(const char *g, const char *n) {
    return pool_find(&g_pools.collmeshes, g, n);
}
ResourceHandle res_find_shape_set(const char *g, const char *n) {
    return pool_find(&g_pools.shape_sets, g, n);
}
ResourceHandle res_find_camera_track(const char *g, const char *n) {
    return pool_find(&g_pools.camera_tracks, g, n);
}
ResourceHandle res_find_model(const char *g, const char *n) {
    ResourcePool<ModelRecord> view{};
    view.count = g_pools.models.count;
    view.records = g_pools.models.records;
    return pool_find(&view, g, n);
}

// ---------------------------------------------------------------------------------------------
// Marks

static int32_t *counter(int which) {
    switch (which) {
        case RES_COUNT_GROUPS:
            return &g_pools.groups.count;
        case RES_COUNT_TEXTURES:
            return &g_pools.textures.count;
        case RES_COUNT_CROPS:
            return &g_pools.crops.count;
        case RES_COUNT_DEPTH_SURFACES:
            return &g_pools.depth_surfaces.count;
        case RES_COUNT_MODELS:
            return &g_pools.models.count;
        case RES_COUNT_SUBSETS:
            return &g_pools.models.subset_count;
        case RES_COUNT_BONES:
            return &g_pools.models.bone_count;
        case RES_COUNT_HIERARCHIES:
            return &g_pools.hierarchies.count;
        case RES_COUNT_MOTIONS:
            return &g_pools.motions.count;
        case RES_COUNT_COLLMESHES:
            return &g_pools.collmeshes.count;
        case RES_COUNT_SHAPE_SETS:
            return &g_pools.shape_sets.count;
        default:
            return &g_pools.camera_tracks.count;
    }
}

void res_mark(ResourceMark *mark) {
    if (!mark) return;
    mark->valid = 1;
    for (int i = 0; i < RES_COUNTER_COUNT; ++i) {
        int32_t *c = counter(i);
        if (*c < 0) *c = 0;
        mark->counts[i] = *c;
    }
}

static void release_one(int which, ResourceHandle h) {
    switch (which) {
        case RES_COUNT_GROUPS:
            res_release_group(h);
            break;
        case RES_COUNT_TEXTURES:
            res_release_texture(h);
            break;
        case RES_COUNT_CROPS:
            res_release_crop(h);
            break;
        case RES_COUNT_DEPTH_SURFACES:
            res_release_depth_surface(h);
            break;
        case RES_COUNT_MODELS:
            res_release_model(h);
            break;
        case RES_COUNT_HIERARCHIES:
            res_release_hierarchy(h);
            break;
        case RES_COUNT_MOTIONS:
            res_release_motion(h);
            break;
        case RES_COUNT_COLLMESHES:
            res_release_collmesh(h);
            break;
        case RES_COUNT_SHAPE_SETS:
            res_release_shape_set(h);
            break;
        case RES_COUNT_CAMERA_TRACKS:
            res_release_camera_track(h);
            break;
        default:
            break; // the two mesh entry lists have no release of their own
    }
}

void res_release_to_mark(ResourceMark *mark) {
    // A mark never taken, or already released, holds no counts to go back to: releasing to it
    // would empty every pool, the built-in textures included.
    if (!mark || !mark->valid) return;
    mark->valid = 0;
    for (int i = 0; i < RES_COUNTER_COUNT; ++i) {
        int32_t *c = counter(i);
        int32_t marked = mark->counts[i] < 0 ? 0 : mark->counts[i];
        if (marked >= *c) continue;
        for (int32_t k = *c - 1; k >= marked; --k) release_one(i, res_index_to_handle(k));
        *c = marked;
    }
    loader_reset();
}

uint32_t res_texture_memory(void) {
    return g_pools.texture_memory;
}
uint32_t res_model_memory(void) {
    return g_pools.model_memory;
}

// ---------------------------------------------------------------------------------------------
// Data pools

// A record holding a copy of `bytes` in the pool's data buffer; `fill` (void or bool(R *,
// uint8_t *copy)) sets its own fields; a bool fill may refuse the copy, which gives back the
// bytes it took. A name
// already in the pool gives its handle and leaves the record as it is.
template <typename R, typename Fill>
static ResourceHandle data_create(ResourcePool<R> *p, const char *group, const char *name,
                                  const uint8_t *bytes, uint32_t size, Fill fill) {
    const char *g = res_intern_group(group);
    if (ResourceHandle h = pool_find(p, group, name)) return h;
    return res_pool_add(p, [&](R *r) {
        uint8_t *data_cursor = p->data.cursor, *name_cursor = p->names.cursor;
        uint8_t *copy = res_store_data(&p->data, bytes, size);
        if (!copy) return false;
        res_fill_header(&r->header, &p->names, g, name);
        if constexpr (std::is_void_v<decltype(fill(r, copy))>) {
            fill(r, copy);
            return true;
        } else if (fill(r, copy)) {
            return true;
        }
        p->data.cursor = data_cursor;
        p->names.cursor = name_cursor;
        return false;
    });
}

template <typename R> static void data_release(ResourcePool<R> *p, R *r, const uint8_t *data) {
    if (!r) return;
    res_buffer_rewind(&p->names, r->header.name);
    res_buffer_rewind(&p->data, data);
    r->header = ResourceRecordHeader{};
}

// A record that holds a copy of one chunk body and its size.
// `check` (bool(R *), may be null) checks and finishes the copy; false refuses it.
template <typename R>
static ResourceHandle body_create(ResourcePool<R> *p, uint8_t *R::*body_field, const char *group,
                                  const char *name, const uint8_t *body, uint32_t size,
                                  bool (*check)(R *) = nullptr) {
    return data_create(p, group, name, body, size, [&](R *r, uint8_t *copy) {
        r->*body_field = copy;
        r->size = size;
        return !check || check(r);
    });
}

ResourceHandle res_create_hierarchy(const char *group, const char *name, const uint8_t *body,
                                    uint32_t size) {
    static uint32_t s_stamp;
    return body_create(
        &g_pools.hierarchies, &HierarchyRecord::frames, group, name, body, size,
        +[](HierarchyRecord *r) {
            if (!res_frames_prepare(r)) return false;
            if (++s_stamp == 0) ++s_stamp;
            r->stamp = s_stamp;
            return true;
        });
}

ResourceHandle res_create_motion(const char *group, const char *name, const uint8_t *body,
                                 uint32_t size) {
    return body_create(&g_pools.motions, &MotionRecord::data, group, name, body, size,
                       res_motion_prepare);
}

// Collision meshes and shape sets are validated before they are stored: every later reader
// relies on that.
ResourceHandle res_create_collmesh(const char *group, const char *name, const uint8_t *body,
                                   uint32_t size) {
    static uint32_t s_stamp;
    if (!res_collmesh_validate(body, size)) return 0;
    return data_create(&g_pools.collmeshes, group, name, body, size,
                       [&](CollisionMeshRecord *r, uint8_t *copy) {
                           r->data = copy;
                           r->size = size;
                           if (!res_collmesh_prepare(r, &g_pools.collmeshes.data)) return false;
                           if (++s_stamp == 0) ++s_stamp;
                           r->stamp = s_stamp;
                           return true;
                       });
}

ResourceHandle res_create_shape_set(const char *group, const char *name, const uint8_t *body,
                                    uint32_t size) {
    float radius;
    if (!res_shape_set_validate(body, size, &radius)) return 0;
    return data_create(&g_pools.shape_sets, group, name, body, size,
                       [&](ShapeSetRecord *r, uint8_t *copy) {
                           r->data = copy;
                           r->size = size;
                           r->radius = radius;
                       });
}

ResourceHandle res_create_camera_track(const char *group, const char *name, const uint8_t *keys,
                                       uint32_t key_count, uint32_t word, float value0,
                                       float value1) {
    if (key_count > 0x0FFFFFFFu) return 0;
    return data_create(&g_pools.camera_tracks, group, name, keys, key_count * 16u,
                       [&](CameraTrackRecord *r, uint8_t *copy) {
                           if (!res_camera_keys_valid(copy, key_count)) return false;
                           r->key_count = key_count;
                           r->word = word;
                           r->values[0] = value0;
                           r->values[1] = value1;
                           r->keys = copy;
                           return true;
                       });
}

void res_release_hierarchy(ResourceHandle h) {
    HierarchyRecord *r = res_hierarchy_record(h);
    if (r) data_release(&g_pools.hierarchies, r, r->frames);
}
void res_release_motion(ResourceHandle h) {
    MotionRecord *r = res_motion_record(h);
    if (r) data_release(&g_pools.motions, r, r->data);
}
void res_release_collmesh(ResourceHandle h) {
    CollisionMeshRecord *r = res_collmesh_record(h);
    if (r) data_release(&g_pools.collmeshes, r, r->data);
}
void res_release_shape_set(ResourceHandle h) {
    ShapeSetRecord *r = res_shapeset_record(h);
    if (r) data_release(&g_pools.shape_sets, r, r->data);
}
void res_release_camera_track(ResourceHandle h) {
    CameraTrackRecord *r = res_camera_track_record(h);
    if (r) data_release(&g_pools.camera_tracks, r, r->keys);
}

// ---------------------------------------------------------------------------------------------
// Accessors

int32_t res_texture_count(void) {
    return g_pools.textures.count;
}
int32_t res_crop_count(void) {
    return g_pools.crops.count;
}
int32_t res_depth_surface_count(void) {
    return g_pools.depth_surfaces.count;
}
int32_t res_model_count(void) {
    return g_pools.models.count;
}
int32_t res_hierarchy_count(void) {
    return g_pools.hierarchies.count;
}
int32_t res_motion_count(void) {
    return g_pools.motions.count;
}
int32_t res_collmesh_count(void) {
    return g_pools.collmeshes.count;
}
int32_t res_shape_set_count(void) {
    return g_pools.shape_sets.count;
}
int32_t res_camera_track_count(void) {
    return g_pools.camera_tracks.count;
}

TextureRecord *res_texture_record(ResourceHandle h) {
    return pool_record(&g_pools.textures, h);
}
CropRecord *res_get_crop(ResourceHandle h) {
    return pool_record(&g_pools.crops, h);
}
DepthSurfaceRecord *res_depth_surface_record(ResourceHandle h) {
    return pool_record(&g_pools.depth_surfaces, h);
}
ModelRecord *res_model_record(ResourceHandle h) {
    int32_t i = res_handle_to_index(h, g_pools.models.count);
    return i < 0 ? nullptr : &g_pools.models.records[i];
}
HierarchyRecord *res_hierarchy_record(ResourceHandle h) {
    return pool_record(&g_pools.hierarchies, h);
}
MotionRecord *res_motion_record(ResourceHandle h) {
    return pool_record(&g_pools.motions, h);
}
CollisionMeshRecord *res_collmesh_record(ResourceHandle h) {
    return pool_record(&g_pools.collmeshes, h);
}
ShapeSetRecord *res_shapeset_record(ResourceHandle h) {
    return pool_record(&g_pools.shape_sets, h);
}
CameraTrackRecord *res_camera_track_record(ResourceHandle h) {
    return pool_record(&g_pools.camera_tracks, h);
}

template <typename R> static const char *name_of(R *r) {
    return r ? r->header.name : nullptr;
}
template <typename R> static const char *group_of(R *r) {
    return r ? r->header.group : nullptr;
}

const char *res_texture_name(ResourceHandle h) {
    return name_of(res_texture_record(h));
}
const char *res_crop_name(ResourceHandle h) {
    return name_of(res_get_crop(h));
}
const char *res_depth_surface_name(ResourceHandle h) {
    return name_of(res_depth_surface_record(h));
}
const char *res_model_name(ResourceHandle h) {
    return name_of(res_model_record(h));
}
const char *res_hierarchy_name(ResourceHandle h) {
    return name_of(res_hierarchy_record(h));
}
const char *res_motion_name(ResourceHandle h) {
    return name_of(res_motion_record(h));
}
const char *res_collmesh_name(ResourceHandle h) {
    return name_of(res_collmesh_record(h));
}
const char *res_shape_set_name(ResourceHandle h) {
    return name_of(res_shapeset_record(h));
}
const char *res_camera_track_name(ResourceHandle h) {
    return name_of(res_camera_track_record(h));
}

const char *res_texture_group(ResourceHandle h) {
    return group_of(res_texture_record(h));
}
const char *res_crop_group(ResourceHandle h) {
    return group_of(res_get_crop(h));
}
const char *res_depth_surface_group(ResourceHandle h) {
    return group_of(res_depth_surface_record(h));
}
const char *res_model_group(ResourceHandle h) {
    return group_of(res_model_record(h));
}
const char *res_hierarchy_group(ResourceHandle h) {
    return group_of(res_hierarchy_record(h));
}
const char *res_motion_group(ResourceHandle h) {
    return group_of(res_motion_record(h));
}
const char *res_collmesh_group(ResourceHandle h) {
    return group_of(res_collmesh_record(h));
}

TextureHandle *res_get_texture(ResourceHandle h) {
    TextureRecord *r = res_texture_record(h);
    return r ? &r->texture : nullptr;
}
SurfaceHandle *res_get_depth_surface(ResourceHandle h) {
    DepthSurfaceRecord *r = res_depth_surface_record(h);
    return r ? &r->surface : nullptr;
}
MeshBuffers *res_get_model(ResourceHandle h) {
    ModelRecord *r = res_model_record(h);
    return r ? &r->mesh : nullptr;
}
uint32_t res_model_flags(ResourceHandle h) {
    ModelRecord *r = res_model_record(h);
    return (r && r->data) ? r->data->flags : 0;
}

template <typename F> static int32_t walk(int32_t count, F fetch) {
    for (int32_t i = 0; i < count; ++i) (void)fetch(res_index_to_handle(i));
    return count;
}
int32_t res_walk_models(void) {
    return walk(res_model_count(), res_model_record);
}
int32_t res_walk_textures(void) {
    return walk(res_texture_count(), res_texture_record);
}
int32_t res_walk_crops(void) {
    return walk(res_crop_count(), res_get_crop);
}
int32_t res_walk_hierarchies(void) {
    return walk(res_hierarchy_count(), res_hierarchy_record);
}
int32_t res_walk_motions(void) {
    return walk(res_motion_count(), res_motion_record);
}
int32_t res_walk_collmeshes(void) {
    return walk(res_collmesh_count(), res_collmesh_record);
}
int32_t res_walk_shape_sets(void) {
    return walk(res_shape_set_count(), res_shapeset_record);
}
int32_t res_walk_camera_tracks(void) {
    return walk(res_camera_track_count(), res_camera_track_record);
}
