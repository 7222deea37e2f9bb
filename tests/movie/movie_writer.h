// Writes AVI movies for the movie tests and the movie benchmark, through FFmpeg's AVI muxer and
// its raw-video encoder in BGR24 (which round-trips every pixel exactly).
#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Fills one picture: width x height pixels of blue, green, red bytes, the top row first, rows
// `pitch` bytes apart.
using MovieFramePainter = std::function<void(int index, uint8_t *pixels, int pitch)>;

// `frames` pictures at `fps` frames per second (a rational num / den when den > 1). False on any
// failure of the library.
bool movie_write_avi(const std::string &path, int width, int height, int frames, int fps,
                     const MovieFramePainter &paint, int fps_den = 1);
