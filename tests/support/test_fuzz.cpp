#include "tests/support/test_fuzz.h"

uint32_t fuzz_get_field(const FuzzBytes &b, const FuzzField &f) {
    if (f.at + size_t(f.width) > b.size()) return 0;
    uint32_t v = 0;
    for (int k = 0; k < f.width; ++k) {
        int shift = 8 * (f.big_endian ? f.width - 1 - k : k);
        v |= uint32_t(b[f.at + size_t(k)]) << shift;
    }
    return v;
}

void fuzz_put_field(FuzzBytes &b, const FuzzField &f, uint32_t v) {
    if (f.at + size_t(f.width) > b.size()) return;
    for (int k = 0; k < f.width; ++k) {
        int shift = 8 * (f.big_endian ? f.width - 1 - k : k);
        b[f.at + size_t(k)] = uint8_t(v >> shift);
    }
}

uint32_t fuzz_edge_value(FuzzRng &rng, uint32_t old) {
    static const uint32_t values[] = {
        0,          1,          2,          3,          4,         15,         16,
        17,         18,         22,         0x7F,       0x80,      0xFF,       0x7FFF,
        0x8000,     0xFFFF,     0x10000,    16384,      16385,     0x10000000, 0x40000000,
        0x7FFFFFFF, 0x80000000, 0xFFFFFFF8, 0xFFFFFFFE, 0xFFFFFFFF};
    switch (rng.below(4)) {
        case 0:
            return old + 1;
        case 1:
            return old - 1;
        case 2:
            return old ^ (1u << rng.below(32));
        default:
            return values[rng.below(sizeof(values) / sizeof(values[0]))];
    }
}

FuzzBytes fuzz_damage(const FuzzBytes &good, const std::vector<FuzzField> &fields, FuzzRng &rng) {
    FuzzBytes b = good;
    int count = 1 + int(rng.below(4));
    for (int k = 0; k < count && !b.empty(); ++k) {
        switch (rng.below(6)) {
            case 0: // flip a byte
                b[rng.below(uint32_t(b.size()))] ^= uint8_t(1 + rng.below(255));
                break;
            case 1: // cut the tail
                b.resize(rng.below(uint32_t(b.size())) + 1);
                break;
            case 2: // a known field
            case 3: {
                if (fields.empty()) break;
                const FuzzField &f = fields[rng.below(uint32_t(fields.size()))];
                if (f.at + size_t(f.width) > b.size()) break;
                fuzz_put_field(b, f, fuzz_edge_value(rng, fuzz_get_field(b, f)));
                break;
            }
            case 4: { // any 32-bit word, either byte order
                if (b.size() < 4) break;
                FuzzField f = {rng.below(uint32_t(b.size() - 3)), 4, rng.below(2) == 0};
                fuzz_put_field(b, f, fuzz_edge_value(rng, fuzz_get_field(b, f)));
                break;
            }
            default: // garbage appended
                if (b.size() < good.size() * 2) {
                    uint32_t n = 1 + rng.below(64);
                    for (uint32_t i = 0; i < n; ++i) b.push_back(uint8_t(rng.next()));
                }
                break;
        }
    }
    return b;
}
