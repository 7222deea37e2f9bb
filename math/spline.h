// Natural-ended cubic spline through 2 to 8 knots with strictly increasing xs.
#pragma once

// n is the last knot index; h and m hold n + 1 floats. Fills h[1..n] and the second
// derivatives m[0..n]. Returns 0 (m untouched) when the knots do not strictly increase.
int spline_cubic_setup(const float *xs, const float *ys, int n, float *h, float *m);
// The spline value at x; 0 for a count outside 2..8, x outside the knots or bad knots.
float spline_cubic_eval(const float *xs, const float *ys, int count, float x);
