#include "PicoPet.h"

#include "Props.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

const QRgb outline = qRgb(0x20, 0x24, 0x3a);
const Material metal{qRgb(0xe8, 0xee, 0xf5), qRgb(0xbd, 0xca, 0xd8), qRgb(0x90, 0xa1, 0xb5)};
const Material farMetal{metal.deepShade, qRgb(0x74, 0x86, 0x9c), qRgb(0x74, 0x86, 0x9c)};
const Material coral{qRgb(0xff, 0x92, 0x6b), qRgb(0xe8, 0x6d, 0x4e), qRgb(0xc6, 0x55, 0x3d)};
const Material gold{qRgb(0xff, 0xd9, 0x60), qRgb(0xf2, 0xaa, 0x3c), qRgb(0xdb, 0x8a, 0x2c)};
const QRgb screenDark = qRgb(0x24, 0x31, 0x4c);
const QRgb glow = qRgb(0x7d, 0xf4, 0xff);
const Colours screen{{'e', glow},
                     {'w', qRgb(0xff, 0xff, 0xff)},
                     {'p', qRgb(0xff, 0x7e, 0xb0)},
                     {'s', qRgb(0x36, 0x4a, 0x70)}};

// Vertical placement: squash lowers head and body onto shortened legs, dy moves everything.
struct Frame {
    int x;
    int y;
    int sink;
    int headTop() const { return 18 + y + sink; }
    int bodyTop() const { return 35 + y + sink; }
};

void drawArm(PixelCanvas& canvas, double shoulderX, double shoulderY, int degrees) {
    const double angle = degrees * std::numbers::pi / 180.0;
    const double dx = std::sin(angle);
    const double dy = std::cos(angle);
    canvas.drawPart(
        Mask::line(artGrid, shoulderX, shoulderY, shoulderX + 4 * dx, shoulderY + 4 * dy, 2.2),
        outline, metal);
    canvas.drawPart(Mask::ellipse(artGrid, shoulderX + 5.5 * dx, shoulderY + 5.5 * dy, 1.9, 1.9),
                    outline, coral);
}

void drawLeg(PixelCanvas& canvas, const Frame& frame, double x, int lift, const Material& material,
             int toe) {
    const double footTop = 46 + frame.y - lift;
    canvas.drawPart(Mask::roundedRect(artGrid, x - 1.5, frame.bodyTop() + 6, x + 1.5, footTop, 0),
                    outline, material);
    canvas.drawPart(Mask::roundedRect(artGrid, x - 3 + toe, footTop, x + 3 + toe, footTop + 2, 1),
                    outline, material);
}

void drawEyes(PixelCanvas& canvas, Eyes eyes, int leftX, int rightX, int y) {
    const auto both = [&](std::initializer_list<std::string_view> left,
                          std::initializer_list<std::string_view> right, int dy) {
        canvas.stamp(left, leftX, y + dy, screen);
        canvas.stamp(right, rightX, y + dy, screen);
    };
    switch (eyes) {
    case Eyes::open:
        return both({"wee", "eee", "eee"}, {"wee", "eee", "eee"}, 1);
    case Eyes::halfClosed:
        return both({"eee", ".e."}, {"eee", ".e."}, 2);
    case Eyes::closed:
        return both({"eee"}, {"eee"}, 2);
    case Eyes::lookUp:
        return both({"wee", "eee"}, {"wee", "eee"}, 0);
    case Eyes::lookDown:
        return both({"eee", "eew"}, {"eee", "eew"}, 2);
    case Eyes::happy:
        return both({".e.", "e.e", "e.e"}, {".e.", "e.e", "e.e"}, 0);
    case Eyes::crossed:
        return both({"e.e", ".e.", "e.e"}, {"e.e", ".e.", "e.e"}, 0);
    case Eyes::determined:
        return both({"e..", ".ee", "e.."}, {"..e", "ee.", "..e"}, 0);
    }
}

void drawMouth(PixelCanvas& canvas, Mouth mouth, int x, int y) {
    switch (mouth) {
    case Mouth::smile:
        return canvas.stamp({"e..e", ".ee."}, x - 2, y, screen);
    case Mouth::open:
        return canvas.stamp({"eeee", ".ee."}, x - 2, y, screen);
    case Mouth::flat:
        return canvas.stamp({".ee."}, x - 2, y + 1, screen);
    case Mouth::wavy:
        return canvas.stamp({"e.e.", ".e.e"}, x - 2, y, screen);
    case Mouth::small:
        return canvas.stamp({".ee.", ".ee."}, x - 2, y, screen);
    }
}

void drawHead(PixelCanvas& canvas, const Pose& pose, const Frame& frame) {
    const int top = frame.headTop();
    const bool drooping = pose.dizzyStars.has_value();
    const double tipX = 24 + frame.x + (drooping ? 3 : pose.sideways ? -2 : 0);
    const double tipY = top - (drooping ? 3.5 : 4.5 + pose.breath);
    canvas.drawPart(Mask::line(artGrid, 24 + frame.x, top, tipX, tipY, 1.4), outline, metal);
    canvas.drawPart(Mask::ellipse(artGrid, tipX, tipY - 1, 2.3, 2.3), outline, gold);
    canvas.set(static_cast<int>(tipX) - 1, static_cast<int>(tipY) - 2, qRgb(0xff, 0xff, 0xff));

    const int shift = pose.sideways ? 3 : 0;
    canvas.drawPart(Mask::roundedRect(artGrid, 8 + frame.x, top + 5, 12 + frame.x, top + 12, 1),
                    outline, coral);
    if (!pose.sideways) {
        canvas.drawPart(
            Mask::roundedRect(artGrid, 36 + frame.x, top + 5, 40 + frame.x, top + 12, 1), outline,
            coral);
    }
    canvas.drawPart(Mask::roundedRect(artGrid, 11 + frame.x, top, 37 + frame.x, top + 17, 5),
                    outline, metal);
    const int left = 14 + frame.x + shift;
    canvas.fill(Mask::roundedRect(artGrid, left, top + 3, left + 20 - shift, top + 14, 2.5),
                outline);
    canvas.fill(Mask::roundedRect(artGrid, left + 1, top + 4, left + 19 - shift, top + 13, 2),
                screenDark);
    canvas.stamp({"ss", "s"}, left + 2, top + 5, screen);

    const int faceX = 24 + frame.x + (pose.sideways ? 4 : 0);
    const int gap = pose.sideways ? 4 : 5;
    canvas.stamp({"pp"}, faceX - gap - 4, top + 10, screen);
    canvas.stamp({"pp"}, faceX + gap + 2, top + 10, screen);
    drawEyes(canvas, pose.eyes, faceX - gap - 2, faceX + gap - 1, top + 6);
    drawMouth(canvas, pose.mouth, faceX, top + 11);
}

PixelCanvas drawFrame(const Pose& pose) {
    PixelCanvas canvas(artGrid);
    // Breathing in lifts the head a little and springs the antenna up.
    const Frame frame{pose.dx, pose.dy,
                      std::clamp(static_cast<int>(std::lround(pose.squash)), -1, 3) -
                          pose.bodyLift - pose.breath / 2};
    Props::shadow(canvas, 24 + frame.x, 47.5, std::max(5.0, 12 + 0.7 * pose.dy));

    const int cx = 24 + frame.x;
    if (pose.sideways) {
        drawLeg(canvas, frame, cx - 2 + pose.leftFootX, pose.leftFootLift, farMetal, 1);
        drawLeg(canvas, frame, cx + 1 + pose.rightFootX, pose.rightFootLift, metal, 1);
    } else {
        drawLeg(canvas, frame, cx - 4.5, pose.leftFootLift, metal, -1);
        drawLeg(canvas, frame, cx + 4.5, pose.rightFootLift, metal, 1);
    }
    const int bodyTop = frame.bodyTop();
    canvas.drawPart(Mask::roundedRect(artGrid, cx - 8, bodyTop, cx + 8, bodyTop + 8, 2.5), outline,
                    metal);
    canvas.drawPart(Mask::roundedRect(artGrid, cx - 2, bodyTop + 2, cx + 2, bodyTop + 5, 1),
                    outline, coral);
    drawHead(canvas, pose, frame);

    if (pose.sideways) {
        drawArm(canvas, cx + 1, bodyTop + 2.5, pose.rightArm);
    } else {
        drawArm(canvas, cx - 7.5, bodyTop + 2.5, pose.leftArm);
        drawArm(canvas, cx + 7.5, bodyTop + 2.5, pose.rightArm);
    }
    const int top = frame.headTop();
    Props::extras(canvas, pose,
                  {.outline = outline,
                   .questionInk = gold.base,
                   .streaks = metal.deepShade,
                   .questionMark = {cx + 10, top - 10},
                   .sweatDrop = {cx + 13, top + 1},
                   .sparkle = {cx + 13, top - 7},
                   .document = {cx - 4, bodyTop},
                   .magnifier = {cx - 2, bodyTop + 3},
                   .starsCentre = {static_cast<double>(cx), top - 1.0},
                   .starsRadii = {15, 2.5},
                   .streaksLeft = cx - 13,
                   .streaksRight = cx + 13,
                   .streaksY = bodyTop - 6});
    return pose.mirrored ? canvas.mirrored() : canvas;
}

} // namespace

namespace PicoPet {

PetDesign design() {
    return {"pico", "pico", QStringLiteral("ピコ"),
            QStringLiteral("画面の顔で気持ちを伝える小さなロボット。コードを読むのが大好きです。"),
            drawFrame};
}

} // namespace PicoPet
