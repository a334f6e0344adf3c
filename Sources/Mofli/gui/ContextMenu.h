#pragma once

#include <QObject>
#include <QPoint>
#include <memory>

class LinkController;
class PetAlerts;
class PetList;
class PetWindowController;
class PickerController;
class QMenu;
class TrayController;
class Updater;

// The pet's right-click menu, built anew on every click so that its marks show the state of the
// moment. Its rows call on the controllers that own what they act on.
class ContextMenu : public QObject {
    Q_OBJECT

public:
    // What the rows act on; all must outlive the menu.
    struct Rows {
        PetWindowController& pet;
        PickerController& picker;
        // Without a tray icon the pets ride along in this menu.
        const TrayController& tray;
        PetList& pets;
        LinkController& link;
        PetAlerts& alerts;
        Updater& updater;
    };

    explicit ContextMenu(Rows rows, QObject* parent = nullptr);

    std::unique_ptr<QMenu> make();
    // Opens the menu at `globalPos` and waits until it closes.
    void popUp(const QPoint& globalPos);

private:
    // One row per live Claude Code session, the pet's choice first; a row brings its terminal
    // forward.
    void addSessionRows(QMenu* menu);

    Rows rows_;
};
