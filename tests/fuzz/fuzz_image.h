// The image targets: one decoder each, with what every decoded image must satisfy.
#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/image/image.h"

using FuzzImageDecoder = bool (*)(const uint8_t *, size_t, Image *, char *, size_t);

// Decodes, checks the result's levels lie inside its pixel block, reads them all and frees.
int fuzz_image(FuzzImageDecoder decode, const uint8_t *data, size_t size);
