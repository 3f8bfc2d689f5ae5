// A round lamp: a circle, outlined in black, filled with one colour that
// shows a state (the link lamp, the eight input lamps).
#pragma once

#include <QColor>
#include <QWidget>

namespace ct::app {

class Lamp final : public QWidget {
    Q_OBJECT
public:
    explicit Lamp(QWidget* parent = nullptr, const QColor& colour = Qt::white);

    QColor colour() const { return colour_; }
    // Repaints only when the colour changes.
    void setColour(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_;
};

}  // namespace ct::app
