// The whole math library.
#pragma once

#include "math/math_types.h"
#include "math/mathf.h"
#include "math/vec.h"
#include "math/intersect.h"
#include "math/mat4.h"
#include "math/transform.h"
#include "math/quad2d.h"
#include "math/spline.h"
#include "math/path.h"
#include "math/plane.h"
