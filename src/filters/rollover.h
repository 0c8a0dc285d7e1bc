#pragma once
// The ROLLOVER fold: a value beyond [-limit, limit] is reflected back at the bounds, as often
// as needed, like a ball between two walls.

namespace tarvelin {

// Folds x into [-|limit|, |limit|]. Values inside the band and NaN pass unchanged.
//
// Reflecting step by step (2L - x above the band, -2L - x below it) takes a number of steps
// that grows with x / L and never ends for a limit of 0 or below, or for an infinite x.
// The fold is computed in closed form instead, from the remainder of x over the period 4L.
// Every operation in it is exact, and so is every reflection step as long as |x| < 2^29 * L
// (L has at most 24 significant bits, being a float parameter), so the result is the same,
// bit for bit, as the step-by-step rule wherever that rule ends in reasonable time. Beyond
// that the steps start to round and may drift; the closed form gives the exact fold.
// A limit of 0 folds everything to 0; a negative limit is taken by its magnitude; an infinite
// x gives NaN.
double rollover(double x, double limit);

}  // namespace tarvelin
