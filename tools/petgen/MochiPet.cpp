#include "MochiPet.h"

#include "Props.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

const QRgb outline = qRgb(0x4a, 0x2f, 0x40);
const Material dough{qRgb(0xff, 0xf9, 0xf0), qRgb(0xf4, 0xe3, 0xd5), qRgb(0xde, 0xc6, 0xb8)};
const Material farDough{dough.shade, dough.deepShade, dough.deepShade};
const QRgb shine = qRgb(0xff, 0xff, 0xff);
const QRgb eyeInk = qRgb(0x3a, 0x22, 0x33);
const QRgb blush = qRgb(0xff, 0xa6, 0xbb);
const QRgb tongue = qRgb(0xe8, 0x63, 0x80);
const Colours leaf{
    {'g', qRgb(0x7c, 0xc8, 0x5e)}, {'l', qRgb(0xb6, 0xea, 0x8a)}, {'d', qRgb(0x4b, 0x8e, 0x45)}};
const Colours face{{'o', eyeInk}, {'w', shine}, {'r', tongue}, {'p', blush}};

// The dome: round on top, nearly flat underneath, resting on `bottom`.
struct Body {
    double cx;
    double cy;
    double rx;
    double ryTop;
    double ryBottom;

    double top() const { return cy - ryTop; }
};

// Breathing in stretches the dough upwards.
Body bodyFor(const Pose& pose) {
    const double squash = pose.squash - 0.8 * pose.breath;
    Body body;
    body.cx = 24 + pose.dx;
    body.rx = 16 + squash;
    body.ryTop = 14 - 1.3 * squash;
    body.ryBottom = 7 - 0.4 * squash;
    body.cy = 46 + pose.dy - pose.bodyLift - body.ryBottom;
    return body;
}

Mask bodyMask(const Body& body) {
    return Mask::where(artGrid, [body](double x, double y) {
        const double u = std::abs(x - body.cx) / body.rx;
        if (y < body.cy) {
            const double v = (body.cy - y) / body.ryTop;
            return u * u + v * v <= 1.0;
        }
        const double v = (y - body.cy) / body.ryBottom;
        return std::pow(u, 2.8) + std::pow(v, 2.8) <= 1.0;
    });
}

void drawFoot(PixelCanvas& canvas, double x, double y, const Material& material) {
    canvas.drawPart(Mask::ellipse(artGrid, x, y, 3.0, 1.9), outline, material);
}

// A raised arm sits higher on the dome, so that it shows above the shoulder instead of beside it.
void drawArm(PixelCanvas& canvas, double shoulderX, double shoulderY, int degrees) {
    const double angle = degrees * std::numbers::pi / 180.0;
    const double raise = 4.5 * std::max(0.0, -std::cos(angle));
    canvas.drawPart(Mask::ellipse(artGrid, shoulderX + 3.0 * std::sin(angle),
                                  shoulderY - raise + 3.0 * std::cos(angle), 2.3, 2.3),
                    outline, dough);
}

// Eyes are two pixels wide at leftX and rightX; wider expressions grow outwards.
void drawEyes(PixelCanvas& canvas, Eyes eyes, int leftX, int rightX, int y) {
    const auto both = [&](std::initializer_list<std::string_view> left,
                          std::initializer_list<std::string_view> right, int dx, int dy) {
        canvas.stamp(left, leftX - dx, y + dy, face);
        canvas.stamp(right, rightX, y + dy, face);
    };
    switch (eyes) {
    case Eyes::open:
        return both({"wo", "oo", "oo"}, {"wo", "oo", "oo"}, 0, 0);
    case Eyes::halfClosed:
        return both({"oo", "oo"}, {"oo", "oo"}, 0, 1);
    case Eyes::closed:
        return both({"oo"}, {"oo"}, 0, 2);
    case Eyes::lookUp:
        return both({"wo", "oo"}, {"wo", "oo"}, 0, -1);
    case Eyes::lookDown:
        return both({"oo", "ow"}, {"oo", "ow"}, 0, 2);
    case Eyes::happy:
        return both({".o.", "o.o"}, {".o.", "o.o"}, 1, 1);
    case Eyes::crossed:
        return both({"o.o", ".o.", "o.o"}, {"o.o", ".o.", "o.o"}, 1, 0);
    case Eyes::determined:
        return both({"oo.", ".oo", "oo."}, {".oo", "oo.", ".oo"}, 1, 0);
    }
}

// The mouth is four pixels wide, centred between x - 2 and x + 2.
void drawMouth(PixelCanvas& canvas, Mouth mouth, int x, int y) {
    switch (mouth) {
    case Mouth::smile:
        return canvas.stamp({"o..o", ".oo."}, x - 2, y, face);
    case Mouth::open:
        return canvas.stamp({"oooo", "orro", ".oo."}, x - 2, y, face);
    case Mouth::flat:
        return canvas.stamp({".oo."}, x - 2, y + 1, face);
    case Mouth::wavy:
        return canvas.stamp({".oo.", "o..o"}, x - 2, y, face);
    case Mouth::small:
        return canvas.stamp({".oo.", ".oo."}, x - 2, y, face);
    }
}

void drawFace(PixelCanvas& canvas, const Pose& pose, const Body& body) {
    const int cx = static_cast<int>(std::lround(body.cx));
    const int eyeY = static_cast<int>(std::lround(body.cy)) - 5;
    const int faceX = pose.sideways ? cx + 5 : cx;
    const int gap = pose.sideways ? 4 : 5;
    if (!pose.sideways) {
        canvas.stamp({"ppp"}, faceX - gap - 4, eyeY + 4, face);
    }
    canvas.stamp({"ppp"}, faceX + gap + 1, eyeY + 4, face);
    drawEyes(canvas, pose.eyes, faceX - gap - 1, faceX + gap - 1, eyeY);
    drawMouth(canvas, pose.mouth, faceX, eyeY + 4);
}

void drawSprout(PixelCanvas& canvas, const Pose& pose, const Body& body) {
    const int x = static_cast<int>(std::lround(body.cx)) - 3 - (pose.sideways ? 2 : 0);
    const int y = static_cast<int>(std::lround(body.top())) - 4;
    canvas.sprite({"ll...ll", "lgg.ggl", ".ggdgg.", "...d..."}, x, y, leaf, outline);
}

PixelCanvas drawFrame(const Pose& pose) {
    PixelCanvas canvas(artGrid);
    const Body body = bodyFor(pose);
    Props::shadow(canvas, body.cx, 47.5, std::max(5.0, body.rx - 2 + 0.7 * pose.dy));

    const double footY = 46.2 + pose.dy;
    if (pose.sideways) {
        drawFoot(canvas, body.cx - 3 + pose.leftFootX, footY - pose.leftFootLift, farDough);
        drawFoot(canvas, body.cx + 2 + pose.rightFootX, footY - pose.rightFootLift, dough);
    } else {
        drawFoot(canvas, body.cx - 6 + pose.leftFootX, footY - pose.leftFootLift, dough);
        drawFoot(canvas, body.cx + 6 + pose.rightFootX, footY - pose.rightFootLift, dough);
    }

    canvas.drawPart(bodyMask(body), outline, dough);
    canvas.stamp({".ww", "w.."}, static_cast<int>(body.cx - body.rx * 0.62),
                 static_cast<int>(body.top() + 3), face);
    drawSprout(canvas, pose, body);
    drawFace(canvas, pose, body);
    if (pose.sideways) {
        drawArm(canvas, body.cx - 5, body.cy + 1, pose.rightArm);
    } else {
        drawArm(canvas, body.cx - body.rx + 1.5, body.cy + 0.5, pose.leftArm);
        drawArm(canvas, body.cx + body.rx - 1.5, body.cy + 0.5, pose.rightArm);
    }

    const int cx = static_cast<int>(std::lround(body.cx));
    const int cy = static_cast<int>(std::lround(body.cy));
    const int top = static_cast<int>(std::lround(body.top()));
    Props::extras(canvas, pose,
                  {.outline = outline,
                   .questionInk = blush,
                   .streaks = dough.deepShade,
                   .questionMark = {cx + 10, top - 10},
                   .sweatDrop = {cx + 9, top + 3},
                   .sparkle = {cx + 12, top - 6},
                   .document = {cx - 4, cy + 1},
                   .magnifier = {cx - 2, cy + 4},
                   .starsCentre = {body.cx, top - 4.0},
                   .starsRadii = {11, 3},
                   .streaksLeft = static_cast<int>(body.cx - body.rx),
                   .streaksRight = static_cast<int>(body.cx + body.rx),
                   .streaksY = cy - 2});
    return pose.mirrored ? canvas.mirrored() : canvas;
}

} // namespace

namespace MochiPet {

PetDesign design() {
    return {
        "mochi", "mochi", QStringLiteral("もち"),
        QStringLiteral("ふわふわのおもち。頭の芽をゆらしながら、いつもそばで見守ってくれます。"),
        drawFrame};
}

} // namespace MochiPet
