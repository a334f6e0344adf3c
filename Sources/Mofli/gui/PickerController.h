#pragma once

#include <QObject>
#include <QString>
#include <memory>

class PetList;
class PetPickerWindow;
class Platform;

// The pet picker's life and commands. The window is made on first use and kept; opening it shows
// the pets known at once and looks at the disk again in the background. It carries out what the
// picker asks (choosing, the two folders, the Codex switch, rescans) and keeps an open picker in
// step with pets chosen or found elsewhere.
class PickerController : public QObject {
    Q_OBJECT

public:
    // Both must outlive the controller.
    PickerController(Platform& platform, PetList& pets, QObject* parent = nullptr);
    ~PickerController() override;

    // Shows the picker; the current pet stays, even when it is no longer found on disk.
    void open();
    // None until the picker was first opened.
    PetPickerWindow* window() const { return window_.get(); }

private:
    // Creates the folder if needed, then shows it in the file browser.
    void openFolder(const QString& dir);
    void setCodexEnabled(bool enabled);
    // What the picker shows follows the pet list.
    void sync();

    Platform& platform_;
    PetList& pets_;
    std::unique_ptr<PetPickerWindow> window_;
};
