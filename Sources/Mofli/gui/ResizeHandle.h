#pragma once

#include <QWidget>

// The corner grip of the pet window. It only draws itself and names itself for assistive
// technology; the pet view under it handles the drag.
class ResizeHandle : public QWidget {
    Q_OBJECT

public:
    explicit ResizeHandle(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
