#pragma once

#include "Pet.h"

#include <QFrame>
#include <QImage>

class QLabel;
class QPushButton;

// One pet in the picker: a rounded card with the preview, the name, the description (or the id
// when there is none) and the button that chooses the pet. The chosen pet's card is tinted with
// the desktop's accent colour and its button, "選択中", cannot be pressed.
class PetTile : public QFrame {
    Q_OBJECT

public:
    static constexpr int tileWidth = 344;
    static constexpr int minimumTileHeight = 64;
    static constexpr int previewSide = 48;

    PetTile(const Pet& pet, bool selected, QWidget* parent = nullptr);

    const Pet& pet() const { return pet_; }
    bool isSelected() const { return selected_; }
    // Tints the card, or not, and sets its button to match.
    void setSelected(bool selected);
    QPushButton* chooseButton() const { return button_; }
    QString name() const;
    // As shown: at most two lines, cut with an ellipsis.
    QString detail() const;
    // In device pixels; a null image leaves the preview empty.
    void setPreview(const QImage& image);
    bool hasPreview() const;

signals:
    void chooseClicked(const QString& petId);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // The texts fill what the button leaves, which depends on its title.
    void fitTexts();

    Pet pet_;
    bool selected_;
    QLabel* preview_;
    QLabel* name_;
    QLabel* detail_;
    QPushButton* button_;
    // Of the image the preview shows, so that showing the same one again costs nothing.
    qint64 previewKey_ = 0;
};
