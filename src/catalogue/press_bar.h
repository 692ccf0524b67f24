#pragma once

#include <QLabel>

namespace catalogue {

// A bar of the right-hand panel that answers the mouse: it reports presses
// and releases of any button, and clicks (left button pressed and released
// inside it). Its bevel is flat, or lowered while whoever listens says so.
class PressBar : public QLabel {
    Q_OBJECT

public:
    explicit PressBar(const QString& caption, QWidget* parent = nullptr);

    void setLowered(bool lowered);
    bool isLowered() const { return lowered_; }

signals:
    void pressed();
    void released();
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool lowered_ = false;
    bool leftDown_ = false;
};

}  // namespace catalogue
