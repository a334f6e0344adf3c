#pragma once

#include "Pose.h"

// The poses of the nine animation rows of a sprite sheet, shared by every built-in pet so that
// all of them move with the same timing.
namespace Choreography {

inline constexpr int rowCount = 9;

// idle, running-right, running-left, waving, jumping, failed, waiting, running, review
int frameCount(int row);
Pose pose(int row, int frame);

} // namespace Choreography
