// Resource handles: pool index + 1; 0 means none.
#pragma once
#include <cstdint>

using ResourceHandle = uint32_t;
