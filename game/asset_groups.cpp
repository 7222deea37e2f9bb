#include "game/asset_groups.h"

#include <cstdio>
#include <cstring>

#include "resource/loader.h"
#include "resource/res_pools.h"

bool game_load_texture_group(const char *name, uint32_t flags) {
    if (!name) return false;
    char nrm[LOADER_NAME_SIZE + 8];
    std::snprintf(nrm, sizeof nrm, "%s_NRM", name);
    bool ok = true;
    if (loader_file_exists(nrm)) ok = loader_enqueue(nrm, flags);
    return loader_enqueue(name, flags) && ok;
}

bool game_load_texture_groups(const char *const *names, int32_t count) {
    if (!names || count <= 0) return false;
    bool ok = true;
    for (int32_t i = 0; i < count; ++i)
        if (names[i] && !game_load_texture_group(names[i], 0)) ok = false;
    return ok;
}

template <typename Find>
static ResourceHandle find_cm(Find find, const char *group, const char *name, bool prefixed) {
    if (!name) return 0;
    if (prefixed) {
        char cm[256];
        std::snprintf(cm, sizeof cm, "CM_%s", name);
        if (const ResourceHandle h = find(group, cm)) return h;
    }
    return find(group, name);
}

ResourceHandle game_find_collmesh_cm(const char *group, const char *name, bool prefixed) {
    return find_cm(res_find_collmesh, group, name, prefixed);
}

ResourceHandle game_find_model_cm(const char *group, const char *name, bool prefixed) {
    return find_cm(res_find_model, group, name, prefixed);
}

// The second character carries one attachment; its model follows the character's own names.
static const CharacterAttachment g_t_attachments[1] = {{"T", "T", "B1", 0x00808080u}};

static const CharacterRow g_characters[2] = {
    {"mo", "mo", "mime", "mbody", "By", 0xFFFFFFFFu, 10.0f, nullptr, 0},
    {"T", "T", "Tme", "Tdy", "B1", 0x00808080u, 10.0f, g_t_attachments, 1},
};

const CharacterRow *game_character_by_name(const char *name) {
    if (!name) return nullptr;
    for (const CharacterRow &row : g_characters)
        if (std::strcmp(row.name, name) == 0) return &row;
    return nullptr;
}

const CharacterRow *game_character_by_index(int32_t index) {
    if (index < 0 || index >= game_character_count()) return nullptr;
    return &g_characters[index];
}

int32_t game_character_count(void) {
    return (int32_t)(sizeof g_characters / sizeof g_characters[0]);
}

static bool same(const char *a, const char *b) {
    return a && b && std::strcmp(a, b) == 0;
}

int32_t game_count_motions(const char *a, const char *b) {
    int32_t n = 0;
    for (int32_t i = 0; i < res_motion_count(); ++i) {
        const char *name = res_motion_name(res_index_to_handle(i));
        if (same(name, a) || same(name, b)) ++n;
    }
    return n;
}

bool game_find_motion(const char **out_name, ResourceHandle *out_handle, const char *a,
                      const char *b, int32_t n) {
    int32_t seen = 0;
    for (int32_t i = 0; i < res_motion_count(); ++i) {
        const ResourceHandle h = res_index_to_handle(i);
        const char *name = res_motion_name(h);
        const bool match_b = same(name, b);
        if (!match_b && !same(name, a)) continue;
        if (seen++ != n) continue;
        if (out_name) *out_name = match_b ? b : a;
        if (out_handle) *out_handle = h;
        return true;
    }
    return false;
}

static void copy_cut(char *out, size_t out_size, const char *name, bool last) {
    if (!out || out_size == 0) return;
    out[0] = 0;
    if (!name) return;
    const char *cut = last ? std::strrchr(name, '_') : std::strchr(name, '_');
    size_t n = cut ? (size_t)(cut - name) : std::strlen(name);
    if (n >= out_size) n = out_size - 1;
    std::memcpy(out, name, n);
    out[n] = 0;
}

void game_name_cut_last(char *out, size_t out_size, const char *name) {
    copy_cut(out, out_size, name, true);
}

void game_name_cut_first(char *out, size_t out_size, const char *name) {
    copy_cut(out, out_size, name, false);
}
