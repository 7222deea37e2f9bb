// Value limits and table ranges of the 3D bodies.
#include "resource/res_body_check.h"

#include <algorithm>
#include <cstring>

#include "resource/chunks.h"

bool res_values_ok(const uint8_t *p, uint64_t count) {
    for (uint64_t i = 0; i < count; ++i) {
        float f;
        std::memcpy(&f, p + 4 * i, 4);
        if (!res_value_ok(f)) return false;
    }
    return true;
}

void res_ranges_table(BodyRanges *r, uint64_t start, uint64_t bytes) {
    if (bytes == 0) return;
    if (start < r->header) r->refused = true;
    r->tables.push_back({start, start + bytes});
}

bool res_ranges_text(BodyRanges *r, const uint8_t *body, uint32_t size, uint32_t offset) {
    uint32_t len;
    if (offset < r->header || !chunk_text_length(body, size, offset, &len)) {
        r->refused = true;
        return false;
    }
    r->texts.push_back({offset, static_cast<uint64_t>(offset) + len + 1});
    return true;
}

bool res_ranges_ok(BodyRanges *r) {
    if (r->refused) return false;
    std::vector<BodyRange> &t = r->tables;
    std::sort(t.begin(), t.end(),
              [](const BodyRange &a, const BodyRange &b) { return a.start < b.start; });
    for (size_t i = 1; i < t.size(); ++i)
        if (t[i].start < t[i - 1].end) return false;
    // The sorted tables are disjoint, so only the last one starting before a text's end can
    // reach into it.
    for (const BodyRange &x : r->texts) {
        auto after =
            std::lower_bound(t.begin(), t.end(), x.end,
                             [](const BodyRange &a, uint64_t end) { return a.start < end; });
        if (after != t.begin() && std::prev(after)->end > x.start) return false;
    }
    return true;
}
