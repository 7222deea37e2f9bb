// Texture list parser: whitespace-separated tokens with the keywords "cat", "tex", "size" and
// "crop", '#' comments to the end of the line.
#include "resource/tex_list.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/sys/sys_file.h"

// Reads one whitespace-separated token of at most TEXLIST_TOKEN_MAX characters; the rest of a
// longer token is read and dropped. False at end of file before any character.
static bool read_token(FILE *f, char *out) {
    int c;
    do {
        c = std::fgetc(f);
    } while (c != EOF && std::isspace(c));
    if (c == EOF) return false;
    int n = 0;
    while (c != EOF && !std::isspace(c)) {
        if (n < TEXLIST_TOKEN_MAX) out[n++] = static_cast<char>(c);
        c = std::fgetc(f);
    }
    if (c != EOF) std::ungetc(c, f);
    out[n] = '\0';
    return true;
}

static void skip_comment(FILE *f) {
    for (;;) {
        int c = std::fgetc(f);
        if (c == EOF || c == 0 || c == SYS_TEXT_EOF_BYTE || c == '\r' || c == '\n') return;
    }
}

static char *copy_text(const char *text) {
    size_t n = std::strlen(text) + 1;
    char *p = static_cast<char *>(std::malloc(n));
    if (p) std::memcpy(p, text, n);
    return p;
}

template <typename T> static void append(T **head, T *item) {
    while (*head) head = &(*head)->next;
    *head = item;
}

enum { KW_CAT = 0, KW_TEX = 1, KW_SIZE = 2, KW_CROP = 3 };

static int keyword_of(const char *token) {
    static const char *const KEYWORDS[4] = {"cat", "tex", "size", "crop"};
    for (int i = 0; i < 4; ++i)
        if (std::strcmp(token, KEYWORDS[i]) == 0) return i;
    return -1;
}

int32_t texlist_parse(FILE *file, TexCategory **head) {
    if (!file || !head) return 1;
    TexCategory *category = nullptr; // statements before the file's first "cat" attach to nothing
    TexEntry *entry = nullptr;
    int32_t size_w = 0, size_h = 0;
    char token[TEXLIST_TOKEN_MAX + 1];
    char name[TEXLIST_TOKEN_MAX + 1];

    while (read_token(file, token)) {
        if (token[0] == '#') {
            skip_comment(file);
            continue;
        }
        switch (keyword_of(token)) {
            case KW_CAT: {
                if (!read_token(file, name)) return 1;
                TexCategory *c = static_cast<TexCategory *>(std::calloc(1, sizeof(TexCategory)));
                if (!c) return 1;
                c->name = copy_text(name);
                append(head, c);
                // The current image and size carry over: a crop before the category's first
                // "tex" is made on the image named last.
                category = c;
                break;
            }
            case KW_TEX: {
                if (!read_token(file, name)) return 1;
                if (!category) break;
                TexEntry *e = static_cast<TexEntry *>(std::calloc(1, sizeof(TexEntry)));
                if (!e) return 1;
                e->name = copy_text(name);
                append(&category->entries, e);
                entry = e;
                size_w = size_h = 0;
                break;
            }
            case KW_SIZE:
                if (std::fscanf(file, "%d %d", &size_w, &size_h) == EOF) return 1;
                break;
            case KW_CROP: {
                float x, y, w, h;
                int got = std::fscanf(file, "%f %f %f %f", &x, &y, &w, &h);
                if (got == EOF) return 1;
                if (got != 4) break; // the unread text is read again as tokens
                if (!read_token(file, name)) return 1;
                if (!category || !entry) break;
                TexCrop *c = static_cast<TexCrop *>(std::calloc(1, sizeof(TexCrop)));
                if (!c) return 1;
                c->name = copy_text(name);
                c->texture_name = entry->name;
                c->u0 = x / static_cast<float>(size_w);
                c->v0 = y / static_cast<float>(size_h);
                c->u_size = w / static_cast<float>(size_w);
                c->v_size = h / static_cast<float>(size_h);
                append(&category->crops, c);
                break;
            }
            default:
                break; // not a keyword: read on
        }
    }
    return 1;
}

int32_t texlist_free(TexCategory *first) {
    while (first) {
        TexCategory *next = first->next;
        for (TexEntry *e = first->entries; e;) {
            TexEntry *n = e->next;
            std::free(e->name);
            std::free(e);
            e = n;
        }
        for (TexCrop *c = first->crops; c;) {
            TexCrop *n = c->next;
            std::free(c->name);
            std::free(c);
            c = n;
        }
        std::free(first->name);
        std::free(first);
        first = next;
    }
    return 1;
}

// The three lists are singly linked through `next`.
template <typename T> static int32_t list_count(const T *first) {
    int32_t n = 0;
    for (; first; first = first->next) ++n;
    return n;
}

template <typename T> static T *list_at(T *first, int32_t i) {
    if (i < 0) return nullptr;
    for (; first && i > 0; --i) first = first->next;
    return first;
}

int32_t texlist_count(const TexCategory *first) {
    return list_count(first);
}

TexCategory *texlist_category_at(TexCategory *first, int32_t i) {
    return list_at(first, i);
}

TexCategory *texlist_find_category(TexCategory *first, const char *name) {
    if (!name) return nullptr;
    for (; first; first = first->next)
        if (first->name && std::strcmp(first->name, name) == 0) return first;
    return nullptr;
}

int32_t texlist_texture_count(const TexCategory *category) {
    return category ? list_count(category->entries) : 0;
}

TexEntry *texlist_texture_at(TexCategory *category, int32_t i) {
    return category ? list_at(category->entries, i) : nullptr;
}

int32_t texlist_crop_count(const TexCategory *category) {
    return category ? list_count(category->crops) : 0;
}

TexCrop *texlist_crop_at(TexCategory *category, int32_t i) {
    return category ? list_at(category->crops, i) : nullptr;
}
