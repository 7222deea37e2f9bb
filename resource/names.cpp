// Resource name helpers and the name hash.
#include "resource/names.h"

#include <cctype>
#include <cstring>

NameHash res_hash_name(const char *name) {
    if (!name) return 0;
    uint32_t h = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(name); *p; ++p) {
        for (int i = 0; i < 6; ++i) {
            uint32_t top = h & 0x80000000u;
            h = (h << 1) | ((*p >> i) & 1u);
            if (top) h ^= 0x04C11DB7u;
        }
    }
    return h;
}

NameHash res_hash_nocase(const char *name) {
    if (!name) return 0;
    char lower[256];
    res_lower_copy(lower, sizeof lower, name);
    return res_hash_name(lower);
}

// Copies at most out_size - 1 characters of [begin, begin + n) and terminates.
static void copy_span(char *out, size_t out_size, const char *begin, size_t n) {
    if (!out || out_size == 0) return;
    if (n > out_size - 1) n = out_size - 1;
    std::memmove(out, begin, n);
    out[n] = '\0';
}

static const char *after_last_separator(const char *path) {
    const char *start = path;
    for (const char *p = path; *p; ++p) {
        if (*p == '\\' || *p == '/') start = p + 1;
    }
    return start;
}

void res_name_of_path(char *out, size_t out_size, const char *path) {
    if (!path) {
        copy_span(out, out_size, "", 0);
        return;
    }
    const char *start = after_last_separator(path);
    const char *end = start;
    while (*end && *end != '.') ++end;
    copy_span(out, out_size, start, static_cast<size_t>(end - start));
}

void res_folder_of_path(char *out, size_t out_size, const char *path) {
    if (!path) {
        copy_span(out, out_size, "", 0);
        return;
    }
    const char *start = after_last_separator(path);
    size_t n = start > path ? static_cast<size_t>(start - path - 1) : 0;
    copy_span(out, out_size, path, n);
}

static const char *const SUFFIX_PARTS[2] = {"NRx", "SPx"};

// Length of `part` when the text at p equals it up to the next '_' or the end, else 0.
static size_t match_part(const char *p, const char *part) {
    size_t n = std::strlen(part);
    if (std::strncmp(p, part, n) != 0) return 0;
    return (p[n] == '\0' || p[n] == '_') ? n : 0;
}

// Bit of the suffix part that follows the '_' at p, with the part's length; -1 for none.
static int suffix_part_at(const char *p, size_t *length) {
    for (int k = 0; k < 2; ++k) {
        size_t n = match_part(p + 1, SUFFIX_PARTS[k]);
        if (n) {
            *length = n;
            return k;
        }
    }
    return -1;
}

// Walks the name dropping its suffix parts; writes the rest to out when `write` is set (the
// write position never passes the read position, so out may equal name).
static uint32_t strip_suffix_parts(char *out, size_t out_size, const char *name, bool write) {
    uint32_t flags = 0;
    size_t w = 0, n = 0;
    for (const char *p = name; *p;) {
        int k = *p == '_' ? suffix_part_at(p, &n) : -1;
        if (k >= 0) {
            flags |= 1u << k;
            p += 1 + n;
            continue;
        }
        if (write && w + 1 < out_size) out[w++] = *p;
        ++p;
    }
    if (write && out_size > 0) out[w] = '\0';
    return flags;
}

uint32_t res_name_suffix_flags(char *out, size_t out_size, const char *name) {
    if (!name) {
        if (out && out != name) copy_span(out, out_size, "", 0);
        return 0;
    }
    if (!out) return strip_suffix_parts(nullptr, 0, name, false);
    // In place, nothing is written when no part is found.
    if (out == name && strip_suffix_parts(out, out_size, name, false) == 0) return 0;
    return strip_suffix_parts(out, out_size, name, true);
}

bool res_name_has_part(const char *name, const char *part) {
    if (!name || !part) return false;
    for (const char *p = std::strchr(name, '_'); p; p = std::strchr(p + 1, '_')) {
        size_t n = std::strlen(part);
        if (std::strncmp(p + 1, part, n) == 0 && (p[1 + n] == '\0' || p[1 + n] == '_')) return true;
    }
    return false;
}

void res_name_with_suffix(char *out, size_t out_size, const char *name, const char *suffix) {
    if (!out || out_size == 0) return;
    const char *n = name ? name : "";
    const char *u = std::strchr(n, '_');
    size_t len = u ? static_cast<size_t>(u - n) : std::strlen(n);
    char tmp[512];
    copy_span(tmp, sizeof tmp, n, len);
    size_t used = std::strlen(tmp);
    std::strncat(tmp, "_", sizeof tmp - used - 1);
    std::strncat(tmp, suffix ? suffix : "", sizeof tmp - std::strlen(tmp) - 1);
    copy_span(out, out_size, tmp, std::strlen(tmp));
}

void res_name_join(char *out, size_t out_size, const char *a, const char *b) {
    if (!out || out_size == 0) return;
    if (!a) {
        out[0] = '\0';
        return;
    }
    char tmp[512];
    copy_span(tmp, sizeof tmp, a, std::strlen(a));
    std::strncat(tmp, "_", sizeof tmp - std::strlen(tmp) - 1);
    std::strncat(tmp, b ? b : "", sizeof tmp - std::strlen(tmp) - 1);
    copy_span(out, out_size, tmp, std::strlen(tmp));
}

void res_name_clip_flag(uint8_t *flags, const char *name) {
    if (!flags || !name || !std::strstr(name, "_clp")) return;
    *flags = static_cast<uint8_t>((*flags & ~0x7Eu) | (1u << 1) | (1u << 4));
}

const char *res_name_contains(const char *text, const char *part) {
    if (!text || !part) return nullptr;
    return std::strstr(text, part);
}

char *res_lower_copy(char *out, size_t out_size, const char *text) {
    if (!out || out_size == 0) return out;
    size_t i = 0;
    if (text) {
        for (; text[i] && i + 1 < out_size; ++i)
            out[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    }
    out[i] = '\0';
    return out;
}

int32_t res_compare_nocase(const char *a, const char *b) {
    if (!a || !b) return a == b ? 0 : (a ? 1 : -1);
    for (;; ++a, ++b) {
        int la = std::tolower(static_cast<unsigned char>(*a));
        int lb = std::tolower(static_cast<unsigned char>(*b));
        if (la != lb) return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
        if (*a == '\0') return 0;
    }
}
