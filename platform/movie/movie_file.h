// Movie files: an AVI file's first video stream, decoded frame by frame into packed, bottom-up
// BGR24 rows (the layout of an uncompressed device-independent bitmap without row padding).
// A movie file is outside input: only the AVI reader and plain files are allowed, every size
// is checked, and a damaged file fails to open or to fetch, never worse.
#pragma once
#include <cstdint>

// Largest frame side and area the layer accepts; larger headers are refused at open.
constexpr int32_t MVL_MAX_SIDE = 32768;
constexpr int64_t MVL_MAX_PIXELS = 1 << 24;

struct MvlMovie;

// Opens the file (backslashes are taken as separators); null when it is not an AVI file, has
// no video stream, or its size, rate or frame count is unusable.
MvlMovie *mvl_open(const char *path);
void mvl_close(MvlMovie *movie);

int32_t mvl_width(const MvlMovie *movie);
int32_t mvl_height(const MvlMovie *movie);
uint32_t mvl_frame_count(const MvlMovie *movie);
double mvl_rate(const MvlMovie *movie); // frames per second, finite and above 0

// Frame n as height rows of width x 3 bytes (blue, green, red), the bottom row first. Seeks back
// when n is behind the decoder, then decodes forward to n. Null when n is not below the frame
// count or the frame cannot be decoded. The rows stay valid until the next fetch or the close.
const uint8_t *mvl_fetch_frame(MvlMovie *movie, uint32_t n);
