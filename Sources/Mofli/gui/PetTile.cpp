#include "PetTile.h"

#include "PickerStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

namespace {

constexpr int radius = 10;
constexpr int inset = 8;
constexpr int previewGap = 10;
constexpr int textGap = 8;
constexpr int buttonInset = 10;

// Two lines of a tile hold a few dozen characters. A descriptor may hold a megabyte of text:
// measuring all of it would keep the picker busy for seconds per tile, so no more than this is
// ever laid out.
constexpr qsizetype maxShownLength = 300;

// The start of `text`, at most maxShownLength UTF-16 units, never half a surrogate pair; runs of
// white space count once.
QString shownPart(const QString& text) {
    QString part = text.left(4 * maxShownLength).simplified();
    if (part.size() > maxShownLength) {
        const bool splitsPair = part.at(maxShownLength).isLowSurrogate();
        part.truncate(splitsPair ? maxShownLength - 1 : maxShownLength);
    }
    return part;
}

// `text` wrapped into at most two lines of `width`, the rest cut with an ellipsis. Japanese text
// wraps between any two characters, as QTextLayout's line breaking allows.
QString twoLines(const QString& original, const QFont& font, int width) {
    const QString text = shownPart(original);
    QTextLayout layout(text, font);
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == 1) {
            // The second line takes all that is left, shortened to fit.
            const QString rest = text.mid(line.textStart());
            lines.append(QFontMetrics(font).elidedText(rest, Qt::ElideRight, width));
            break;
        }
        lines.append(text.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

PetTile::PetTile(const Pet& pet, bool selected, QWidget* parent)
    : QFrame(parent), pet_(pet), selected_(!selected), preview_(new QLabel(this)),
      name_(new QLabel(this)), detail_(new QLabel(this)), button_(new QPushButton(this)) {
    setFixedWidth(tileWidth);
    setMinimumHeight(minimumTileHeight);

    preview_->setFixedSize(previewSide, previewSide);
    preview_->setAlignment(Qt::AlignCenter);

    name_->setTextFormat(Qt::PlainText);
    name_->setFont(PickerStyle::font(13, true));

    button_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(button_, &QPushButton::clicked, this, [this] { emit chooseClicked(pet_.id); });

    detail_->setTextFormat(Qt::PlainText);
    detail_->setFont(PickerStyle::font(11));
    QPalette detailPalette = detail_->palette();
    detailPalette.setColor(QPalette::WindowText, PickerStyle::secondaryText(palette()));
    detail_->setPalette(detailPalette);
    setSelected(selected);

    auto* text = new QVBoxLayout;
    text->setSpacing(2);
    text->addStretch(1);
    text->addWidget(name_);
    text->addWidget(detail_);
    text->addStretch(1);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(inset, inset, buttonInset, inset);
    row->setSpacing(0);
    row->addWidget(preview_, 0, Qt::AlignVCenter);
    row->addSpacing(previewGap);
    row->addLayout(text);
    row->addSpacing(textGap);
    row->addStretch(1);
    row->addWidget(button_, 0, Qt::AlignVCenter);
}

void PetTile::setSelected(bool selected) {
    if (selected == selected_) {
        return;
    }
    selected_ = selected;
    button_->setText(selected ? QStringLiteral("選択中") : QStringLiteral("選択"));
    button_->setEnabled(!selected);
    fitTexts();
    update();
}

void PetTile::fitTexts() {
    const int textWidth = tileWidth - inset - previewSide - previewGap - textGap -
                          button_->sizeHint().width() - buttonInset;
    detail_->setText(twoLines(pet_.description.value_or(pet_.id), detail_->font(), textWidth));
    name_->setFixedWidth(textWidth);
    name_->setText(
        name_->fontMetrics().elidedText(shownPart(pet_.displayName), Qt::ElideRight, textWidth));
    detail_->setFixedWidth(textWidth);
}

QString PetTile::name() const {
    return name_->text();
}

QString PetTile::detail() const {
    return detail_->text();
}

void PetTile::setPreview(const QImage& image) {
    if (image.cacheKey() == previewKey_) {
        return;
    }
    previewKey_ = image.cacheKey();
    if (image.isNull()) {
        preview_->clear();
        return;
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    preview_->setPixmap(pixmap);
}

bool PetTile::hasPreview() const {
    return !preview_->pixmap().isNull();
}

void PetTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette& colors = palette();
    const QColor accent = PickerStyle::accent(colors);
    QColor fill = selected_ ? accent : colors.color(QPalette::Window);
    fill.setAlphaF(selected_ ? 0.18f : 0.6f);
    const double border = selected_ ? 2.0 : 1.0;
    // The stroke is centred on the path, so the path runs half a border inside the edges.
    const QRectF card = QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
    painter.setPen(QPen(selected_ ? accent : PickerStyle::separator(colors), border));
    painter.setBrush(fill);
    painter.drawRoundedRect(card, radius, radius);
}
