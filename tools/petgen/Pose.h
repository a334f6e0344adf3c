#pragma once

#include <optional>

enum class Eyes { open, halfClosed, closed, happy, crossed, lookUp, lookDown, determined };
enum class Mouth { smile, open, flat, wavy, small };

// What one frame shows, whichever pet draws it. Distances are logical art pixels with y pointing
// down; arm angles are degrees away from hanging straight down, positive towards screen right.
struct Pose {
    int dx = 0;
    // Negative lifts the whole pet off the ground.
    int dy = 0;
    // Depth of an idle breath, 0 to 2; each pet shows it in its own way.
    int breath = 0;
    // Raises the body above the feet, stretching the legs, for the bob of a stride.
    int bodyLift = 0;
    // Positive squashes the body wider and lower, negative stretches it taller and narrower.
    double squash = 0;
    // Seen from the side, facing right. The left-running row is the right-running one mirrored.
    bool sideways = false;
    bool mirrored = false;

    Eyes eyes = Eyes::open;
    Mouth mouth = Mouth::smile;
    // Seen from the side only the near (right) arm shows.
    int leftArm = -25;
    int rightArm = 25;
    // Seen from the side the left foot is the far one and positive x points forward.
    int leftFootX = 0;
    int leftFootLift = 0;
    int rightFootX = 0;
    int rightFootLift = 0;

    // Extras, each absent or holding its animation phase.
    std::optional<int> questionMark;
    std::optional<int> sweatDrop;
    std::optional<int> dizzyStars;
    std::optional<int> speedLines;
    std::optional<int> reading;
    bool sparkle = false;
};
