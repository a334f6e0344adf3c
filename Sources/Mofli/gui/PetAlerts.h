#pragma once

#include <QObject>
#include <QString>

class QAbstractButton;
class QMessageBox;
class Platform;
class QWidget;

// Alerts about the link, shown just above the pet, inside the visible part of its screen, where
// the user looks; each waits for its answer.
class PetAlerts : public QObject {
    Q_OBJECT

public:
    // `pet` is the pet window; it and `platform` must outlive the alerts.
    PetAlerts(Platform& platform, const QWidget& pet, QObject* parent = nullptr);

    // `text`, with `detail` (when there is any) behind the details button, and "OK".
    void inform(const QString& text, const QString& detail);
    // Asks before unlinking; whether the user said yes.
    bool confirmUnlink();

protected:
    // Keeps an alert above the pet while it settles its size.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows `alert` modally above the pet; the button that closed it.
    QAbstractButton* run(QMessageBox& alert);
    void place(QMessageBox* alert) const;

    Platform& platform_;
    const QWidget& pet_;
};
