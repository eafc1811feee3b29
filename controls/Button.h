#pragma once

#include "controls/Handler.h"

#include <QPushButton>

#include <cstdint>

namespace corvane::controls {

// The modifier state of a mouse press as a bit set: 1 Shift, 2 Ctrl, 4 Alt.
int16_t shiftState(Qt::KeyboardModifiers modifiers);

// A push button that reports MouseDown with the modifier state before its
// Click, which runs for the mouse and for keyboard activation alike.
class Button : public QPushButton {
    Q_OBJECT

public:
    explicit Button(const QString& caption, QWidget* parent = nullptr);

    void setClick(Binding click) { m_click = std::move(click); }
    void setMouseDown(QString name, std::function<void(int16_t shift)> handler,
                      ErrorReporter* reporter);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    // The caption wraps onto more lines when the button is too narrow for it,
    // as a tall two-row button expects.
    void paintEvent(QPaintEvent* event) override;

private:
    Binding m_click;
    QString m_mouseDownName;
    std::function<void(int16_t)> m_mouseDown;
    ErrorReporter* m_reporter = nullptr;
};

} // namespace corvane::controls
