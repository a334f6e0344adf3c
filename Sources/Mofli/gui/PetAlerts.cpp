#include "PetAlerts.h"

#include "LinkAlerts.h"
#include "Platform.h"
#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <optional>

PetAlerts::PetAlerts(Platform& platform, const QWidget& pet, QObject* parent)
    : QObject(parent), platform_(platform), pet_(pet) {
}

void PetAlerts::inform(const QString& text, const QString& detail) {
    const std::unique_ptr<QMessageBox> alert = LinkAlerts::info(text, detail);
    run(*alert);
}

bool PetAlerts::confirmUnlink() {
    QAbstractButton* confirm = nullptr;
    const std::unique_ptr<QMessageBox> question = LinkAlerts::unlinkConfirmation(confirm);
    return run(*question) == confirm;
}

QAbstractButton* PetAlerts::run(QMessageBox& alert) {
    place(&alert);
    // A message box settles its size only once shown; it is placed again whenever that changes.
    alert.installEventFilter(this);
    alert.exec();
    return alert.clickedButton();
}

bool PetAlerts::eventFilter(QObject* watched, QEvent* event) {
    if (auto* alert = qobject_cast<QMessageBox*>(watched)) {
        if (event->type() == QEvent::Resize) {
            place(alert);
        } else if (event->type() == QEvent::Show) {
            place(alert);
            // The native window appears only after this event, and only a visible one can be
            // brought forward.
            QMetaObject::invokeMethod(
                alert, [this, alert] { platform_.bringForward(alert); }, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

void PetAlerts::place(QMessageBox* alert) const {
    const QSize size = alert->isVisible() ? alert->frameGeometry().size()
                                          : alert->size().expandedTo(alert->sizeHint());
    const QScreen* screen = pet_.screen() ? pet_.screen() : QGuiApplication::primaryScreen();
    std::optional<QRectF> visible;
    if (screen) {
        visible = QRectF(screen->availableGeometry());
    }
    const QPointF origin =
        WindowPlacement::alertOrigin(QRectF(pet_.frameGeometry()), QSizeF(size), visible);
    alert->move(origin.toPoint());
}
