#include "controls/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace corvane::controls {

std::optional<int16_t> keyAscii(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return int16_t{13};
    case Qt::Key_Backspace:
        return int16_t{8};
    case Qt::Key_Escape:
        return int16_t{27};
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    const QString text = event.text();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    // UTF-16 unit as the 16-bit code; codes above 32767 keep their bit pattern.
    return static_cast<int16_t>(text.at(0).unicode());
}

KeyPreview::KeyPreview(QWidget* window, QString name, std::function<void(int16_t)> handler,
                       ErrorReporter* reporter)
    : QObject(window), m_window(window), m_name(std::move(name)), m_handler(std::move(handler)),
      m_reporter(reporter) {
    qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview() {
    qApp->removeEventFilter(this);
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    // A key the focused control ignores travels on to its parents; only its
    // first delivery is a typed character.
    const QWidget* focus = QApplication::focusWidget();
    const bool first = focus != nullptr ? widget == focus : widget == m_window;
    if (!first || widget->window() != m_window) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    if (const auto code = keyAscii(*key)) {
        // Each UTF-16 unit of a multi-character commit goes on its own.
        const QString text = key->text();
        if (text.size() > 1) {
            for (const QChar c : text) {
                const auto unit = static_cast<int16_t>(c.unicode());
                runHandler(m_reporter, m_name, [&] { m_handler(unit); });
            }
        } else {
            runHandler(m_reporter, m_name, [&] { m_handler(*code); });
        }
    }
    return false;
}

} // namespace corvane::controls
