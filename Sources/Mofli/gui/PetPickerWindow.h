#pragma once

#include "Pet.h"
#include "PetTile.h"

#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class PetPreviews;
class QPushButton;
class QScrollArea;
class QSpacerItem;
class QVBoxLayout;

// The window in which the user chooses the pet: every pet as a tile with a preview, grouped into
// the built-in, the user's and Codex's pets, with the two pet folders and the Codex switch. A
// passive view: it shows what present() hands it and reports each action through a signal; only
// choosing a tile changes what it shows by itself. Closing it only hides it.
class PetPickerWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int windowWidth = 380;
    static constexpr int windowHeight = 480;
    static constexpr int topBarHeight = 44;

    explicit PetPickerWindow(QWidget* parent = nullptr);
    ~PetPickerWindow() override;

    // Shows `pets`, marks the one with `selectedId` and lists the Codex pets when `codexEnabled`;
    // centres the window the first time, then brings it to the front with the focus.
    void present(const QList<Pet>& pets, const std::optional<QString>& selectedId,
                 bool codexEnabled);
    // The same contents change without moving, raising or focusing the window. Only what
    // changed is redone: a new selection moves the highlight, and the rows are made anew only
    // for other pets or another state of the Codex switch.
    void refresh(const QList<Pet>& pets, const std::optional<QString>& selectedId,
                 bool codexEnabled);

    const QList<Pet>& pets() const { return pets_; }
    const std::optional<QString>& selectedId() const { return selectedId_; }
    bool codexEnabled() const { return codexEnabled_; }
    // The column the rows stack in; its layout holds the current rows only.
    QWidget* stack() const { return stack_; }
    // The tiles made so far, top to bottom. present() and refresh() lay out a place for each row;
    // the rows, tiles and headers alike, are then made from the event loop, a few at a time.
    QList<PetTile*> tiles() const;
    // Whether every row has been made.
    bool hasAllRows() const { return waitingRows_.isEmpty(); }
    QPushButton* reloadButton() const { return reloadButton_; }

signals:
    // A tile's button: the highlight has already moved to it.
    void chosen(const Pet& pet);
    void openUserFolderRequested();
    void openCodexFolderRequested();
    // The checkbox's new state. The window waits for the owner to present it again.
    void codexToggled(bool enabled);
    void reloadRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    enum class RowKind { label, tile, header, hint };
    // A row not made yet, and the place it will take.
    struct WaitingRow {
        QSpacerItem* place;
        RowKind kind;
        std::function<QWidget*()> make;
    };

    void rebuild();
    void markSelected();
    void plan(RowKind kind, std::function<QWidget*()> make);
    void makeWaitingRows();
    // Makes the waiting rows from the event loop, once the window has shown its first frame.
    void startRowBatches();
    QList<Pet> sorted(PetSource source) const;
    PetTile* makeTile(const Pet& pet);
    QWidget* makeFolderHeader(const QString& title, const QString& path,
                              const std::function<void()>& action);
    QWidget* makeCodexToggleRow();
    // `leading` (a title or the Codex switch) with the folder link beside it, the path below.
    QWidget* makeHeaderRow(QWidget* leading, const QString& path,
                           const std::function<void()>& action);
    QPushButton* makeLinkButton(const QString& title, const std::function<void()>& action);
    QWidget* makeHint(const QString& text);
    QWidget* makeSectionLabel(const QString& text);
    QWidget* makePathLabel(const QString& path);
    void chooseTapped(const QString& petId);
    // Gives the tile its preview, or has it wait for the decode.
    void showPreview(PetTile* tile);
    void previewReady(const QString& path);

    QList<Pet> pets_;
    std::optional<QString> selectedId_;
    bool codexEnabled_ = false;
    // Whether the rows show the fields above at all; before the first presentation they do not.
    bool hasShown_ = false;
    bool hasCentered_ = false;
    QPushButton* reloadButton_;
    QScrollArea* scroll_;
    QWidget* stack_;
    QVBoxLayout* rows_;
    PetPreviews* previews_;
    // The tiles of the current rows by sheet path, for previews that arrive later.
    QMultiHash<QString, QPointer<PetTile>> tilesBySheet_;
    QList<WaitingRow> waitingRows_;
    // What the place of a row not made yet holds: the height of the last row made of its kind.
    QHash<RowKind, int> rowHeights_{{RowKind::tile, PetTile::minimumTileHeight}};
    QTimer rowBatches_;
    // Rows wait for the window's first frame: drawn in the same turn of the event loop, the
    // first batch and the first frame would hold it longer than a frame.
    bool awaitingFirstFrame_ = false;
};
