// Asset groups: the game's pictures come in as named texture groups through the data loader,
// each with an optional "_NRM" companion. Beside them the name helpers and the lookups of the
// character rows and of models and collision meshes by their "CM_" names.
#pragma once
#include <cstddef>
#include <cstdint>

#include "resource/res_handle.h"

// Queues name + "_NRM" first when that data file exists, then the name; true when every
// queueing succeeded.
bool game_load_texture_group(const char *name, uint32_t flags);
// game_load_texture_group(name, 0) for each non-null name; false for a null list or count <= 0.
bool game_load_texture_groups(const char *const *names, int32_t count);

// With `prefixed`, "CM_" + name is tried first; otherwise, or when not found, the plain name.
ResourceHandle game_find_collmesh_cm(const char *group, const char *name, bool prefixed);
ResourceHandle game_find_model_cm(const char *group, const char *name, bool prefixed);

struct CharacterAttachment {
    const char *model_group;
    const char *model_name;
    const char *bone_name;
    uint32_t colour;
};

struct CharacterRow {
    const char *name;
    const char *model_group;
    const char *motion_a;
    const char *motion_b;
    const char *hierarchy;
    uint32_t colour;
    float scale;
    const CharacterAttachment *attachments;
    int32_t attachment_count;
};

const CharacterRow *game_character_by_name(const char *name); // null when none matches
const CharacterRow *game_character_by_index(int32_t index);   // null outside 0..1
int32_t game_character_count(void);

// Motion records named a or b: their number, and the n-th of them (which name matched, b
// winning when both do, and its handle).
int32_t game_count_motions(const char *a, const char *b);
bool game_find_motion(const char **out_name, ResourceHandle *out_handle, const char *a,
                      const char *b, int32_t n);

// Copy of the name cut at its last or first '_' (the whole name when it has none); the copy
// stays within out_size bytes.
void game_name_cut_last(char *out, size_t out_size, const char *name);
void game_name_cut_first(char *out, size_t out_size, const char *name);
