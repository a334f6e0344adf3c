#include "PetPickerWindow.h"

#include "PetLibrary.h"
#include "PetPreviews.h"
#include "PetTile.h"
#include "PickerStyle.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace {

constexpr int rowWidth = PetTile::tileWidth;
constexpr int hintWidth = 320;
// Rows are made from the event loop, as many at a time as this many milliseconds allow, so that
// a long list never freezes the app: a tile takes about half a millisecond and a list may hold
// hundreds. A batch leaves most of a frame to the paint that follows it.
constexpr int batchMilliseconds = 3;

void setTextColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::ButtonText, color);
    widget->setPalette(palette);
}

} // namespace

PetPickerWindow::PetPickerWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowStaysOnTopHint),
      reloadButton_(new QPushButton(QStringLiteral("更新"))), scroll_(new QScrollArea),
      stack_(new QWidget), rows_(new QVBoxLayout(stack_)), previews_(new PetPreviews(this)) {
    setWindowTitle(QStringLiteral("外観設定 — キャラクターを選ぶ"));
    setFixedSize(windowWidth, windowHeight);

    auto* topBar = new QWidget;
    topBar->setFixedHeight(topBarHeight);
    auto* topLayout = new QHBoxLayout(topBar);
    topLayout->setContentsMargins(0, 0, 12, 0);
    topLayout->addStretch(1);
    topLayout->addWidget(reloadButton_, 0, Qt::AlignVCenter);
    connect(reloadButton_, &QPushButton::clicked, this, &PetPickerWindow::reloadRequested);

    auto* separator = new QFrame;
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Plain);
    setTextColor(separator, PickerStyle::separator(palette()));

    // Rows sit 12 from the left; like the tiles they are 344 wide, which leaves room on the
    // right for a scroll bar that takes space.
    rows_->setContentsMargins(12, 10, 0, 12);
    rows_->setSpacing(8);
    rows_->addStretch(1);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroll_->viewport()->setAutoFillBackground(false);
    stack_->setAutoFillBackground(false);
    scroll_->setWidget(stack_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(topBar);
    layout->addWidget(separator);
    layout->addWidget(scroll_, 1);

    connect(previews_, &PetPreviews::ready, this, &PetPickerWindow::previewReady);
    connect(&rowBatches_, &QTimer::timeout, this, &PetPickerWindow::makeWaitingRows);
}

PetPickerWindow::~PetPickerWindow() = default;

void PetPickerWindow::present(const QList<Pet>& pets, const std::optional<QString>& selectedId,
                              bool codexEnabled) {
    refresh(pets, selectedId, codexEnabled);
    if (!hasCentered_) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
        hasCentered_ = true;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void PetPickerWindow::refresh(const QList<Pet>& pets, const std::optional<QString>& selectedId,
                              bool codexEnabled) {
    if (pets == pets_ && codexEnabled == codexEnabled_ && hasShown_) {
        if (selectedId != selectedId_) {
            selectedId_ = selectedId;
            markSelected();
        }
        // A sheet drawn anew since shows its new preview.
        for (PetTile* tile : tiles()) {
            showPreview(tile);
        }
        return;
    }
    pets_ = pets;
    selectedId_ = selectedId;
    codexEnabled_ = codexEnabled;
    hasShown_ = true;
    rebuild();
}

void PetPickerWindow::markSelected() {
    for (PetTile* tile : tiles()) {
        tile->setSelected(selectedId_ && *selectedId_ == tile->pet().id);
    }
}

QList<PetTile*> PetPickerWindow::tiles() const {
    QList<PetTile*> result;
    for (int i = 0; i < rows_->count(); ++i) {
        if (auto* tile = qobject_cast<PetTile*>(rows_->itemAt(i)->widget())) {
            result.append(tile);
        }
    }
    return result;
}

void PetPickerWindow::rebuild() {
    // The row being clicked may be among these: they go once control returns to the event loop.
    while (QLayoutItem* item = rows_->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    tilesBySheet_.clear();
    waitingRows_.clear();

    if (const QList<Pet> bundled = sorted(PetSource::bundled); !bundled.isEmpty()) {
        plan(RowKind::label, [this] { return makeSectionLabel(QStringLiteral("同梱")); });
        for (const Pet& pet : bundled) {
            plan(RowKind::tile, [this, pet] { return makeTile(pet); });
        }
    }
    plan(RowKind::header, [this] {
        return makeFolderHeader(QStringLiteral("カスタムペット"), PetLibrary::userPetsDir(),
                                [this] { emit openUserFolderRequested(); });
    });
    if (const QList<Pet> user = sorted(PetSource::user); !user.isEmpty()) {
        for (const Pet& pet : user) {
            plan(RowKind::tile, [this, pet] { return makeTile(pet); });
        }
    } else {
        plan(RowKind::hint, [this] {
            return makeHint(QStringLiteral(
                "「フォルダーを開く」を押して、pet.json + spritesheet.webp のフォルダを入れてね"));
        });
    }
    plan(RowKind::header, [this] { return makeCodexToggleRow(); });
    if (codexEnabled_) {
        if (const QList<Pet> codex = sorted(PetSource::codex); !codex.isEmpty()) {
            for (const Pet& pet : codex) {
                plan(RowKind::tile, [this, pet] { return makeTile(pet); });
            }
        } else {
            plan(RowKind::hint, [this] {
                return makeHint(QStringLiteral("~/.codex/pets にペットが見つかりません"));
            });
        }
    }
    rows_->addStretch(1);
    startRowBatches();
}

void PetPickerWindow::startRowBatches() {
    const QWindow* window = windowHandle();
    awaitingFirstFrame_ = !(window && window->isExposed());
    if (!awaitingFirstFrame_) {
        rowBatches_.start(0);
    }
}

void PetPickerWindow::showEvent(QShowEvent* event) {
    if (QWindow* window = windowHandle()) {
        window->removeEventFilter(this);
        window->installEventFilter(this);
    }
    QWidget::showEvent(event);
}

bool PetPickerWindow::eventFilter(QObject* watched, QEvent* event) {
    // Seen before the window draws the frame it is exposed with; the batches start after it.
    if (event->type() == QEvent::Expose && watched == windowHandle() && awaitingFirstFrame_ &&
        windowHandle()->isExposed()) {
        awaitingFirstFrame_ = false;
        rowBatches_.start(0);
    }
    return QWidget::eventFilter(watched, event);
}

void PetPickerWindow::plan(RowKind kind, std::function<QWidget*()> make) {
    // Holds the row's place, and its height in the scroll range as far as rows of its kind have
    // shown it, until it is made. The layout puts no spacing next to a spacer, so the place takes
    // it in.
    auto* place = new QSpacerItem(PetTile::tileWidth, rowHeights_.value(kind) + rows_->spacing(),
                                  QSizePolicy::Fixed, QSizePolicy::Fixed);
    rows_->addItem(place);
    waitingRows_.append({place, kind, std::move(make)});
}

void PetPickerWindow::makeWaitingRows() {
    QElapsedTimer batch;
    batch.start();
    while (!waitingRows_.isEmpty() && batch.elapsed() < batchMilliseconds) {
        const WaitingRow next = waitingRows_.takeFirst();
        const int index = rows_->indexOf(next.place);
        delete rows_->takeAt(index);
        QWidget* row = next.make();
        rows_->insertWidget(index, row, 0, Qt::AlignLeft);
        row->show();
        rowHeights_[next.kind] = row->sizeHint().height();
    }
    if (waitingRows_.isEmpty()) {
        rowBatches_.stop();
    }
}

QList<Pet> PetPickerWindow::sorted(PetSource source) const {
    QList<Pet> result;
    std::copy_if(pets_.cbegin(), pets_.cend(), std::back_inserter(result),
                 [source](const Pet& pet) { return pet.source == source; });
    std::stable_sort(result.begin(), result.end(), PetLibrary::displayNameLess);
    return result;
}

PetTile* PetPickerWindow::makeTile(const Pet& pet) {
    // In the stack from the start, so that the preview is made for the screen it shows on.
    auto* tile = new PetTile(pet, selectedId_ && *selectedId_ == pet.id, stack_);
    connect(tile, &PetTile::chooseClicked, this, &PetPickerWindow::chooseTapped);
    showPreview(tile);
    return tile;
}

void PetPickerWindow::showPreview(PetTile* tile) {
    const QString& path = tile->pet().spritesheetPath;
    const int side = int(std::ceil(PetTile::previewSide * devicePixelRatioF()));
    if (const std::optional<QImage> preview = previews_->preview(path, side)) {
        tile->setPreview(*preview);
    } else if (!tilesBySheet_.contains(path, tile)) {
        tilesBySheet_.insert(path, tile);
    }
}

void PetPickerWindow::previewReady(const QString& path) {
    const QList<QPointer<PetTile>> waiting = tilesBySheet_.values(path);
    tilesBySheet_.remove(path);
    for (const QPointer<PetTile>& tile : waiting) {
        // One whose sheet changed again meanwhile waits for the newer decode.
        if (tile) {
            showPreview(tile);
        }
    }
}

QWidget* PetPickerWindow::makeSectionLabel(const QString& text) {
    auto* label = new QLabel(text);
    label->setFont(PickerStyle::font(12, true));
    setTextColor(label, PickerStyle::secondaryText(palette()));
    return label;
}

QWidget* PetPickerWindow::makePathLabel(const QString& path) {
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setFont(PickerStyle::monospaceFont(10));
    setTextColor(label, PickerStyle::tertiaryText(palette()));
    label->setText(label->fontMetrics().elidedText(path, Qt::ElideMiddle, rowWidth));
    label->setToolTip(path);
    return label;
}

QWidget* PetPickerWindow::makeFolderHeader(const QString& title, const QString& path,
                                           const std::function<void()>& action) {
    auto* titleLabel = new QLabel(title);
    titleLabel->setFont(PickerStyle::font(12, true));
    setTextColor(titleLabel, PickerStyle::secondaryText(palette()));
    return makeHeaderRow(titleLabel, path, action);
}

QWidget* PetPickerWindow::makeCodexToggleRow() {
    auto* toggle = new QCheckBox(QStringLiteral("Codex 連携"));
    toggle->setFont(PickerStyle::font(12));
    toggle->setChecked(codexEnabled_);
    connect(toggle, &QCheckBox::clicked, this, &PetPickerWindow::codexToggled);
    return makeHeaderRow(toggle, PetLibrary::codexPetsDir(),
                         [this] { emit openCodexFolderRequested(); });
}

QWidget* PetPickerWindow::makeHeaderRow(QWidget* leading, const QString& path,
                                        const std::function<void()>& action) {
    auto* header = new QWidget;
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    auto* row = new QWidget;
    row->setFixedWidth(rowWidth);
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    line->addWidget(leading, 1);
    line->addWidget(makeLinkButton(QStringLiteral("フォルダーを開く ↗"), action));
    column->addWidget(row);
    column->addWidget(makePathLabel(path));
    return header;
}

QPushButton* PetPickerWindow::makeLinkButton(const QString& title,
                                             const std::function<void()>& action) {
    auto* button = new QPushButton(title);
    button->setFlat(true);
    button->setFont(PickerStyle::font(12));
    button->setCursor(Qt::PointingHandCursor);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setTextColor(button, PickerStyle::secondaryText(palette()));
    connect(button, &QPushButton::clicked, this, action);
    return button;
}

QWidget* PetPickerWindow::makeHint(const QString& text) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setFixedWidth(hintWidth);
    label->setFont(PickerStyle::font(11));
    setTextColor(label, PickerStyle::tertiaryText(palette()));
    return label;
}

void PetPickerWindow::chooseTapped(const QString& petId) {
    const auto found =
        std::find_if(pets_.cbegin(), pets_.cend(), [&](const Pet& pet) { return pet.id == petId; });
    if (found == pets_.cend()) {
        return;
    }
    const Pet pet = *found;
    selectedId_ = pet.id;
    markSelected();
    emit chosen(pet);
}
