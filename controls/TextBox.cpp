#include "controls/TextBox.h"

#include <QApplication>
#include <QFocusEvent>
#include <QTimer>

namespace corvane::controls {

TextBox::TextBox(QWidget* parent) : QLineEdit(parent) {}

void TextBox::setValidate(QString name, std::function<void(bool&)> handler,
                          ErrorReporter* reporter) {
    m_name = std::move(name);
    m_validate = std::move(handler);
    m_reporter = reporter;
}

void TextBox::focusOutEvent(QFocusEvent* event) {
    // By the time FocusOut arrives Qt has already made the new widget the
    // application's focus widget, so where the focus goes can be told here.
    const QWidget* next = QApplication::focusWidget();
    const bool withinWindow = next != nullptr && next != this && next->window() == window();
    const bool leavesForControl = event->reason() != Qt::ActiveWindowFocusReason &&
                                  event->reason() != Qt::PopupFocusReason && withinWindow;
    if (leavesForControl && m_validate) {
        bool cancel = false;
        runHandler(m_reporter, m_name, [&] { m_validate(cancel); });
        if (cancel) {
            QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
        }
    }
    QLineEdit::focusOutEvent(event);
    if (leavesForControl && (isUndoAvailable() || isRedoAvailable())) {
        // QLineEdit keeps an undo step for every key ever typed; in a box an
        // operator types into all day that grows without end. Leaving the box
        // is where an edit ends, so the history is dropped there (setText of
        // the same text clears it) and the text and caret stay as they were.
        const int caret = cursorPosition();
        const bool blocked = blockSignals(true);
        setText(text());
        setCursorPosition(caret);
        blockSignals(blocked);
    }
}

} // namespace corvane::controls
