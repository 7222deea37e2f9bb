// Resource names: the 32-bit name hash, name parts of paths, suffix flags and small text helpers.
#pragma once
#include <cstddef>
#include <cstdint>

using NameHash = uint32_t;

// Per byte, bits 0 to 5 are shifted in at the bottom; a bit shifted out at the top XORs the
// result with 0x04C11DB7. A null name hashes to 0.
NameHash res_hash_name(const char *name);
// The hash of the lower-case copy of the name.
NameHash res_hash_nocase(const char *name);

// Every helper writing into `out` keeps the text within out_size bytes (always terminated).

// The text after the last '\' or '/' (or from the start) up to the first '.' or the end.
void res_name_of_path(char *out, size_t out_size, const char *path);
// The text before the last '\' or '/' (empty when there is none).
void res_folder_of_path(char *out, size_t out_size, const char *path);
// Copies the name without its "_NRx" and "_SPx" parts and returns their bits (bit 0 NRx, bit 1
// SPx). `out` may equal `name`; then nothing is written when no part is found.
uint32_t res_name_suffix_flags(char *out, size_t out_size, const char *name);
// True when the name holds '_' + part ending at the end of the name or at the next '_'.
bool res_name_has_part(const char *name, const char *part);
// The name up to its first '_', then '_' and the suffix.
void res_name_with_suffix(char *out, size_t out_size, const char *name, const char *suffix);
// a, '_', b; a null `a` gives an empty text.
void res_name_join(char *out, size_t out_size, const char *a, const char *b);
// When the name contains "_clp": address codes U and V (bits 1-3 and 4-6 of flags) become 1.
void res_name_clip_flag(uint8_t *flags, const char *name);
// First occurrence of part in text, or null.
const char *res_name_contains(const char *text, const char *part);
char *res_lower_copy(char *out, size_t out_size, const char *text);
// Compares after lower-casing; at the first difference returns the difference of the two
// characters as given.
int32_t res_compare_nocase(const char *a, const char *b);
