#pragma once

#include "PixelCanvas.h"
#include "Pose.h"

#include <QSize>
#include <QString>
#include <functional>

// Every frame is drawn on this grid and enlarged by artScale into a 192 × 208 sheet cell.
inline constexpr QSize artGrid{48, 52};
inline constexpr int artScale = 4;

// A built-in pet: what its package says about it and how it draws one pose.
struct PetDesign {
    QString folder;
    QString id;
    QString displayName;
    QString description;
    std::function<PixelCanvas(const Pose&)> drawFrame;
};
