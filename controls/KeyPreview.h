#pragma once

#include "controls/Handler.h"

#include <QObject>

#include <cstdint>
#include <optional>

class QKeyEvent;
class QWidget;

namespace corvane::controls {

// The character code a key press types, as a 16-bit code (Enter 13, Backspace
// 8, Escape 27), or nothing for keys that type no character: arrows, function
// keys, Tab (it moves the focus), Delete, and bare modifiers.
std::optional<int16_t> keyAscii(const QKeyEvent& event);

// Offers every character typed in a window to the window's KeyPress handler
// before the focused control receives it. The key is never swallowed.
class KeyPreview : public QObject {
    Q_OBJECT

public:
    KeyPreview(QWidget* window, QString name, std::function<void(int16_t)> handler,
               ErrorReporter* reporter);
    ~KeyPreview() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QString m_name;
    std::function<void(int16_t)> m_handler;
    ErrorReporter* m_reporter;
};

} // namespace corvane::controls
