#include "controls/Button.h"

#include <QMouseEvent>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace corvane::controls {

int16_t shiftState(Qt::KeyboardModifiers modifiers) {
    int16_t state = 0;
    if (modifiers & Qt::ShiftModifier) {
        state |= 1;
    }
    if (modifiers & Qt::ControlModifier) {
        state |= 2;
    }
    if (modifiers & Qt::AltModifier) {
        state |= 4;
    }
    return state;
}

Button::Button(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (m_click) {
            m_click.runAtBoundary();
        }
    });
}

void Button::setMouseDown(QString name, std::function<void(int16_t)> handler,
                          ErrorReporter* reporter) {
    m_mouseDownName = std::move(name);
    m_mouseDown = std::move(handler);
    m_reporter = reporter;
}

void Button::mousePressEvent(QMouseEvent* event) {
    if (m_mouseDown) {
        const int16_t shift = shiftState(event->modifiers());
        runHandler(m_reporter, m_mouseDownName, [&] { m_mouseDown(shift); });
    }
    QPushButton::mousePressEvent(event);
}

} // namespace corvane::controls

namespace corvane::controls {

void Button::paintEvent(QPaintEvent* event) {
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect textArea = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (fontMetrics().horizontalAdvance(text()) <= textArea.width()) {
        QPushButton::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.drawItemText(textArea, Qt::AlignCenter | Qt::TextWordWrap, palette(), isEnabled(),
                         text(), QPalette::ButtonText);
}

} // namespace corvane::controls
