#include "AvatarWindow.h"

#include "AvatarEngine.h"
#include "AvatarView.h"
#include "Platform.h"
#include "Settings.h"
#include "SheetLoader.h"
#include "SpriteSheet.h"
#include "TopmostPreferences.h"
#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace {

double clampScale(double scale) {
    return std::clamp(scale, AvatarWindow::minScale, AvatarWindow::maxScale);
}

QList<QRectF> availableAreas() {
    QList<QRectF> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.append(screen->availableGeometry());
    }
    return areas;
}

} // namespace

AvatarWindow::AvatarWindow(Platform& platform, Scheduler& scheduler)
    : QWidget(nullptr), platform_(platform),
      view_(new AvatarView(std::make_unique<AvatarEngine>(scheduler), this)),
      sheets_(new SheetLoader(this)), scale_(storedScale()),
      alwaysOnTop_(TopmostPreferences::enabled()),
      shaped_(!platform.compositesTranslucentWindows()) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
#ifdef Q_OS_MACOS
    // Qt makes a tool window an NSPanel that hides whenever the app is not active, and an
    // accessory app almost never is; the attribute counts only before the native window exists.
    // Showing the pet must not take the focus from the terminal either.
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    setAttribute(Qt::WA_ShowWithoutActivating);
#endif
    applyWindowFlags();
    resize(sizeForScale(scale_));
    moveHome();
    view_->setGeometry(rect());
    view_->setScale(scale_);
    connect(view_, &AvatarView::moveRequested, this, &AvatarWindow::moveWithinScreens);
    // On macOS Qt puts a tool window back on its own level whenever the app becomes active or
    // inactive, whatever level it was given since.
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this] {
        if (internalWinId() != 0) {
            platform_.applyStacking(windowHandle(), alwaysOnTop_);
        }
    });
    connect(sheets_, &SheetLoader::loaded, this, &AvatarWindow::showSheet);
    connect(view_, &AvatarView::scaleRequested, this,
            [this](double scale, const QPointF& anchor, const QPointF& anchorRel) {
                applyScale(scale, anchor, anchorRel);
            });
    if (shaped_) {
        connect(view_, &AvatarView::paintedRegionChanged, this, &AvatarWindow::reshape);
        reshape();
    }
}

QSize AvatarWindow::sizeForScale(double scale) {
    return QSize(int(std::lround(AvatarView::baseWidth * scale)),
                 int(std::lround(AvatarView::baseHeight * scale)));
}

double AvatarWindow::storedScale() {
    return clampScale(Settings::petScale());
}

void AvatarWindow::applyWindowFlags() {
    Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint;
    if (alwaysOnTop_) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
}

void AvatarWindow::setAlwaysOnTop(bool onTop) {
    if (onTop == alwaysOnTop_) {
        return;
    }
    alwaysOnTop_ = onTop;
    // Changing window flags recreates the native window hidden; put it back where it was.
    const QPoint position = pos();
    const bool wasVisible = isVisible();
    applyWindowFlags();
    move(position);
    if (wasVisible) {
        show();
        // On X11 the stacking change makes Qt replace the native window inside show(), without
        // telling the widget; the replacement needs the request too.
        platform_.showOnAllWorkspaces(windowHandle());
    }
}

void AvatarWindow::loadPet(const Pet& pet) {
    sheets_->load(pet.spritesheetPath);
}

void AvatarWindow::showSheet(const std::shared_ptr<SpriteSheet>& sheet) {
    std::shared_ptr<SpriteSheet> previous = view_->sheet();
    if (sheet) {
        view_->setSheet(sheet);
    } else {
        view_->unloadPet();
    }
    sheets_->release(std::move(previous));
}

void AvatarWindow::replayRecap() {
    view_->engine().replayRecap();
}

void AvatarWindow::applyScale(double scale, std::optional<QPointF> anchor,
                              const QPointF& anchorRel) {
    if (!std::isfinite(scale)) {
        return;
    }
    scale_ = clampScale(scale);
    view_->setScale(scale_);
    Settings::setPetScale(scale_);
    const QRectF frame = geometry();
    const QPointF point = anchor.value_or(frame.center());
    const QSize size = sizeForScale(scale_);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    std::optional<QRectF> available;
    if (screen) {
        available = screen->availableGeometry();
    }
    const QPointF origin = WindowPlacement::clampOrigin(
        WindowPlacement::scaledOrigin(point, anchorRel, size), size, available);
    setGeometry(QRect(origin.toPoint(), size));
}

void AvatarWindow::moveHome() {
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        move(WindowPlacement::homeOrigin(primary->availableGeometry(), size()).toPoint());
    }
}

void AvatarWindow::moveWithinScreens(const QPointF& origin) {
    move(WindowPlacement::clampOriginAcrossScreens(origin, size(), availableAreas()).toPoint());
}

bool AvatarWindow::event(QEvent* event) {
    // Every native window needs the request, best before it is mapped.
    if (event->type() == QEvent::WinIdChange && internalWinId() != 0) {
        platform_.showOnAllWorkspaces(windowHandle());
        platform_.applyStacking(windowHandle(), alwaysOnTop_);
    } else if (event->type() == QEvent::Show && internalWinId() != 0) {
        platform_.applyStacking(windowHandle(), alwaysOnTop_);
    }
    return QWidget::event(event);
}

void AvatarWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    view_->setGeometry(rect());
}

void AvatarWindow::reshape() {
    const QRegion region = view_->paintedRegion();
    // An empty mask would mean no shape at all, so keep at least one pixel.
    platform_.shapeToVisiblePixels(this, region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}
