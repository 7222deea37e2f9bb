// Repeatable damage of valid files for the readers' fuzz tests: a fixed generator, header fields
// to aim at, and the damages themselves (flipped bytes, cut tails, fields set to values that
// break size and count arithmetic, garbage appended).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

using FuzzBytes = std::vector<uint8_t>;

// Fixed linear congruential generator: every run damages the same bytes.
struct FuzzRng {
    uint32_t state;
    uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    uint32_t below(uint32_t n) { return n ? next() % n : 0; }
};

// A header field worth aiming at: where it lies, how wide it is (1, 2 or 4) and its byte order.
struct FuzzField {
    size_t at;
    int width;
    bool big_endian;
};

// Fields that do not lie wholly inside the bytes read as 0 and are not written.
uint32_t fuzz_get_field(const FuzzBytes &b, const FuzzField &f);
void fuzz_put_field(FuzzBytes &b, const FuzzField &f, uint32_t v);

// The old value one up or down, one bit flipped, or a value such as 0, 1, 0x7FFFFFFF or ~0.
uint32_t fuzz_edge_value(FuzzRng &rng, uint32_t old);

// One to four damages of `good`, aiming at `fields` half of the time; the result never grows
// beyond twice the size of `good`.
FuzzBytes fuzz_damage(const FuzzBytes &good, const std::vector<FuzzField> &fields, FuzzRng &rng);
