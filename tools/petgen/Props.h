#pragma once

#include "PixelCanvas.h"
#include "Pose.h"

#include <QPoint>
#include <QPointF>
#include <QRgb>

// Small drawings that any pet can show around itself. Positions are the top left corner of the
// drawing on the logical grid unless said otherwise; outline is the pet's own outline colour.
namespace Props {

// Where one pet places the extras of a pose around itself.
struct Placement {
    QRgb outline;
    QRgb questionInk;
    QRgb streaks;
    // Top left corners: the question mark before it bobs, the drop before it slides.
    QPoint questionMark;
    QPoint sweatDrop;
    QPoint sparkle;
    QPoint document;
    // The lens at the start of its sweep.
    QPoint magnifier;
    QPointF starsCentre;
    QPointF starsRadii;
    // Streaks run outwards from these two columns.
    int streaksLeft;
    int streaksRight;
    int streaksY;
};

// Draws every extra that the pose asks for, over the pet.
void extras(PixelCanvas& canvas, const Pose& pose, const Placement& at);

// A soft contact shadow centred on (cx, groundY) that shrinks as the pet leaves the ground.
void shadow(PixelCanvas& canvas, double cx, double groundY, double halfWidth);
void questionMark(PixelCanvas& canvas, int x, int y, QRgb outline, QRgb ink);
// A sweat drop that has slid down by slide pixels.
void sweatDrop(PixelCanvas& canvas, int x, int y, int slide, QRgb outline);
// Three stars circling (cx, cy) on a flat ellipse; phase 0..7 turns them by an eighth each.
void dizzyStars(PixelCanvas& canvas, double cx, double cy, double rx, double ry, int phase,
                QRgb outline);
// Streaks left of left and right of right, flickering with phase.
void speedLines(PixelCanvas& canvas, int left, int right, int y, int phase, QRgb colour);
void sparkle(PixelCanvas& canvas, int x, int y, QRgb outline);
// A sheet of paper, 7 × 9.
void document(PixelCanvas& canvas, int x, int y, QRgb outline);
// A magnifier whose lens is centred on (cx, cy), its handle pointing to the lower right.
void magnifier(PixelCanvas& canvas, int cx, int cy, QRgb outline);

} // namespace Props
