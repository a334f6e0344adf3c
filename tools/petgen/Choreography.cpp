#include "Choreography.h"

#include <array>

namespace {

constexpr std::array<int, Choreography::rowCount> frameCounts{6, 8, 8, 4, 5, 8, 6, 6, 6};

// Breathes in over two quick frames after a blink; the long first and last frames are rests.
Pose idle(int frame) {
    constexpr std::array<int, 6> breath{0, 0, 0, 1, 2, 1};
    constexpr std::array<Eyes, 6> eyes{Eyes::open, Eyes::halfClosed, Eyes::closed,
                                       Eyes::open, Eyes::open,       Eyes::open};
    Pose pose;
    pose.breath = breath[frame];
    pose.eyes = eyes[frame];
    return pose;
}

// One stride per half cycle: a foot pushes back along the ground for five frames and swings
// forward in the air for three; the other foot runs half a cycle behind.
Pose runningRight(int frame) {
    constexpr std::array<int, 8> footX{3, 2, 0, -2, -3, -2, 0, 2};
    constexpr std::array<int, 8> footLift{0, 0, 0, 0, 0, 1, 2, 1};
    constexpr std::array<int, 8> bob{0, 1, 2, 1, 0, 1, 2, 1};
    constexpr std::array<int, 8> arm{-35, -20, 0, 20, 35, 20, 0, -20};
    const int other = (frame + 4) % 8;
    Pose pose;
    pose.sideways = true;
    pose.bodyLift = bob[frame];
    pose.squash = bob[frame] == 0 ? 0.6 : -0.4;
    pose.mouth = Mouth::open;
    pose.rightFootX = footX[frame];
    pose.rightFootLift = footLift[frame];
    pose.leftFootX = footX[other];
    pose.leftFootLift = footLift[other];
    pose.rightArm = arm[frame];
    return pose;
}

Pose runningLeft(int frame) {
    Pose pose = runningRight(frame);
    pose.mirrored = true;
    return pose;
}

Pose waving(int frame) {
    constexpr std::array<int, 4> arm{125, 165, 130, 170};
    Pose pose;
    pose.eyes = Eyes::happy;
    pose.mouth = Mouth::open;
    pose.rightArm = arm[frame];
    pose.dy = frame % 2 == 0 ? 0 : -1;
    pose.sparkle = frame == 3;
    return pose;
}

// Crouch, take off, apex, fall, land.
Pose jumping(int frame) {
    constexpr std::array<int, 5> height{0, -5, -8, -4, 0};
    constexpr std::array<double, 5> squash{2.2, -1.6, 0, -1.0, 1.4};
    constexpr std::array<int, 5> arm{-15, -150, -165, -110, -45};
    constexpr std::array<Eyes, 5> eyes{Eyes::determined, Eyes::open, Eyes::happy, Eyes::open,
                                       Eyes::happy};
    constexpr std::array<Mouth, 5> mouths{Mouth::flat, Mouth::open, Mouth::open, Mouth::small,
                                          Mouth::smile};
    Pose pose;
    pose.dy = height[frame];
    pose.squash = squash[frame];
    pose.leftArm = arm[frame];
    pose.rightArm = -arm[frame];
    pose.eyes = eyes[frame];
    pose.mouth = mouths[frame];
    pose.leftFootLift = pose.rightFootLift = height[frame] < 0 ? 1 : 0;
    pose.sparkle = frame == 2;
    return pose;
}

// Slumped and dizzy: a shudder at the start of each loop, stars circling all the time.
Pose failed(int frame) {
    constexpr std::array<int, 8> shake{-1, 1, -1, 1, 0, 0, 0, 0};
    Pose pose;
    pose.dx = shake[frame];
    pose.squash = frame % 4 < 2 ? 1.6 : 2.0;
    pose.eyes = Eyes::crossed;
    pose.mouth = Mouth::wavy;
    pose.leftArm = -8;
    pose.rightArm = 8;
    pose.dizzyStars = frame;
    pose.sweatDrop = frame / 2;
    return pose;
}

// Looks up at a bobbing question mark and taps a foot.
Pose waiting(int frame) {
    constexpr std::array<int, 6> bob{0, -1, -2, -2, -1, 0};
    constexpr std::array<int, 6> tap{0, 0, 0, 1, 0, 1};
    Pose pose;
    pose.eyes = Eyes::lookUp;
    pose.mouth = Mouth::small;
    pose.questionMark = bob[frame];
    pose.rightFootLift = tap[frame];
    pose.leftArm = -35;
    return pose;
}

// Hurrying on the spot, facing the user, arms pumping.
Pose running(int frame) {
    constexpr std::array<int, 6> lift{1, 2, 1, 0, 0, 0};
    constexpr std::array<int, 6> bob{0, 1, 0, 0, 1, 0};
    constexpr std::array<int, 6> arm{-130, -150, -130, -40, -25, -40};
    const int other = (frame + 3) % 6;
    Pose pose;
    pose.bodyLift = bob[frame];
    pose.eyes = Eyes::determined;
    pose.mouth = Mouth::open;
    pose.leftFootLift = lift[frame];
    pose.rightFootLift = lift[other];
    pose.leftArm = arm[other];
    pose.rightArm = -arm[frame];
    pose.speedLines = frame;
    return pose;
}

// Reads a little document through a magnifier that sweeps across it, nodding along.
Pose review(int frame) {
    constexpr std::array<int, 6> sweep{0, 1, 2, 3, 2, 1};
    constexpr std::array<int, 6> nod{0, 1, 0, 1, 0, 0};
    Pose pose;
    pose.squash = nod[frame];
    pose.eyes = Eyes::lookDown;
    pose.mouth = Mouth::flat;
    pose.reading = sweep[frame];
    pose.leftArm = 35;
    pose.rightArm = -35;
    return pose;
}

} // namespace

namespace Choreography {

int frameCount(int row) {
    return frameCounts.at(row);
}

Pose pose(int row, int frame) {
    using Row = Pose (*)(int);
    constexpr std::array<Row, rowCount> rows{idle,   runningRight, runningLeft, waving, jumping,
                                             failed, waiting,      running,     review};
    return rows.at(row)(frame);
}

} // namespace Choreography
