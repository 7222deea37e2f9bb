// The texture list "tex.lst": named categories of loose image files with crops on them.
#pragma once
#include <cstdint>
#include <cstdio>

struct TexEntry {
    char *name; // image file name relative to the texture folder
    TexEntry *next;
};

struct TexCrop {
    char *name;
    const char *texture_name; // the name of the entry current when the crop was read (shared)
    float u0, v0;             // top-left corner
    float u_size, v_size;     // extent
    TexCrop *next;
};

struct TexCategory {
    char *name;
    TexEntry *entries;
    TexCrop *crops;
    TexCategory *next;
};

// Longest token the reader keeps; the rest of a longer token is dropped.
constexpr int TEXLIST_TOKEN_MAX = 255;

// Parses the whole open text file, appending to the list at *head. Returns 1.
int32_t texlist_parse(FILE *file, TexCategory **head);
// Frees every category with its entries, crops and texts. Returns 1.
int32_t texlist_free(TexCategory *first);
int32_t texlist_count(const TexCategory *first);
TexCategory *texlist_category_at(TexCategory *first, int32_t i);
// First category whose name equals the text exactly (case-sensitive).
TexCategory *texlist_find_category(TexCategory *first, const char *name);
int32_t texlist_texture_count(const TexCategory *category);
TexEntry *texlist_texture_at(TexCategory *category, int32_t i);
int32_t texlist_crop_count(const TexCategory *category);
TexCrop *texlist_crop_at(TexCategory *category, int32_t i);
