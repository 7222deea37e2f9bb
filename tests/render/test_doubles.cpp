// Test doubles for callees of the device module whose own modules are not in the tree yet.
// Each is weak: the real function replaces it as soon as its module provides it.
#include <cstdint>

#include "gfx_test_env.h"

static RenderTestCalls s_calls;
RenderTestCalls *render_test_calls(void) {
    return &s_calls;
}
