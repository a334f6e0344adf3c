#include "Props.h"

#include <cmath>
#include <numbers>

namespace {

const QRgb white = qRgb(0xff, 0xff, 0xff);
const QRgb gold = qRgb(0xff, 0xd2, 0x4a);
const QRgb amber = qRgb(0xf0, 0x9a, 0x2c);

} // namespace

namespace Props {

void shadow(PixelCanvas& canvas, double cx, double groundY, double halfWidth) {
    canvas.fill(Mask::ellipse(canvas.size(), cx, groundY, halfWidth, 1.6),
                qRgba(0x20, 0x14, 0x28, 0x48));
}

void questionMark(PixelCanvas& canvas, int x, int y, QRgb outline, QRgb ink) {
    canvas.sprite({".###.", "##.##", "...##", "..##.", "..#..", ".....", "..#.."}, x, y,
                  {{'#', ink}}, outline);
}

void sweatDrop(PixelCanvas& canvas, int x, int y, int slide, QRgb outline) {
    canvas.sprite({".b.", "bbb", "wbb", ".b."}, x, y + slide,
                  {{'b', qRgb(0x8c, 0xd4, 0xff)}, {'w', white}}, outline);
}

void dizzyStars(PixelCanvas& canvas, double cx, double cy, double rx, double ry, int phase,
                QRgb outline) {
    for (int star = 0; star < 3; ++star) {
        const double angle = (phase / 8.0 + star / 3.0) * 2.0 * std::numbers::pi;
        const int x = static_cast<int>(std::lround(cx + rx * std::cos(angle)));
        const int y = static_cast<int>(std::lround(cy + ry * std::sin(angle)));
        canvas.sprite({".g.", "ggg", ".g."}, x - 1, y - 1, {{'g', gold}}, outline);
    }
}

void speedLines(PixelCanvas& canvas, int left, int right, int y, int phase, QRgb colour) {
    const int shift = phase % 2;
    const auto streak = [&](int x0, int x1, int row) {
        canvas.fill(Mask::roundedRect(canvas.size(), x0, row, x1, row + 1, 0), colour);
    };
    streak(left - 6 + shift, left - 2, y);
    streak(left - 5 - shift, left - 2, y + 4);
    streak(right + 2, right + 6 - shift, y);
    streak(right + 2, right + 5 + shift, y + 4);
}

void sparkle(PixelCanvas& canvas, int x, int y, QRgb outline) {
    canvas.sprite({"..g..", ".gwg.", "gwwwg", ".gwg.", "..g.."}, x, y, {{'g', gold}, {'w', white}},
                  outline);
}

void document(PixelCanvas& canvas, int x, int y, QRgb outline) {
    const QRgb paper = qRgb(0xfd, 0xfb, 0xf4);
    const QRgb text = qRgb(0x9a, 0xa8, 0xc4);
    canvas.sprite({"ppppppp", "pttttpp", "ppppppp", "ptttttp", "ppppppp", "ptttppp", "ppppppp",
                   "pttttpp", "ppppppp"},
                  x, y, {{'p', paper}, {'t', text}}, outline);
}

void magnifier(PixelCanvas& canvas, int cx, int cy, QRgb outline) {
    canvas.sprite({"hh..", ".hh.", "..hh"}, cx + 2, cy + 2, {{'h', qRgb(0x8a, 0x5a, 0x3c)}},
                  outline);
    canvas.sprite({".rrr.", "rgwgr", "rggwr", "rgggr", ".rrr."}, cx - 2, cy - 2,
                  {{'r', amber}, {'g', qRgb(0xc8, 0xee, 0xff)}, {'w', white}}, outline);
}

void extras(PixelCanvas& canvas, const Pose& pose, const Placement& at) {
    if (pose.reading) {
        document(canvas, at.document.x(), at.document.y(), at.outline);
        magnifier(canvas, at.magnifier.x() + *pose.reading, at.magnifier.y(), at.outline);
    }
    if (pose.questionMark) {
        questionMark(canvas, at.questionMark.x(), at.questionMark.y() + *pose.questionMark,
                     at.outline, at.questionInk);
    }
    if (pose.sweatDrop) {
        sweatDrop(canvas, at.sweatDrop.x(), at.sweatDrop.y(), *pose.sweatDrop, at.outline);
    }
    if (pose.dizzyStars) {
        dizzyStars(canvas, at.starsCentre.x(), at.starsCentre.y(), at.starsRadii.x(),
                   at.starsRadii.y(), *pose.dizzyStars, at.outline);
    }
    if (pose.speedLines) {
        speedLines(canvas, at.streaksLeft, at.streaksRight, at.streaksY, *pose.speedLines,
                   at.streaks);
    }
    if (pose.sparkle) {
        sparkle(canvas, at.sparkle.x(), at.sparkle.y(), at.outline);
    }
}

} // namespace Props
