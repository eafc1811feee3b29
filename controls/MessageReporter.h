#pragma once

#include "controls/Handler.h"

#include <QPointer>

class QMessageBox;
class QWidget;

namespace corvane::controls {

// Shows the last run-time error in one non-modal message beside the window and
// writes the same line to stderr. A newer error replaces the older text, so a
// burst of failures never piles up dialogs or blocks the window.
class MessageReporter : public ErrorReporter {
public:
    explicit MessageReporter(QWidget* window);
    ~MessageReporter() override;

    void report(const QString& handler, const receiver::RuntimeError& error) override;

    static QString line(const QString& handler, const receiver::RuntimeError& error);

private:
    QWidget* m_window;
    QPointer<QMessageBox> m_box;
};

} // namespace corvane::controls
