#pragma once

#include "controls/Handler.h"

#include <QObject>
#include <QPointer>
#include <QRect>

class QMessageBox;
class QWidget;

namespace corvane::controls {

// Shows the last run-time error in one non-modal report beside the window and
// writes the same line to stderr. The report never covers the window, never
// takes the focus from where the operator types, closes with Esc (pressed in
// it or in the window), and is announced to a screen reader. A newer error
// replaces the older text, so a burst of failures never piles up reports.
class MessageReporter : public QObject, public ErrorReporter {
    Q_OBJECT

public:
    explicit MessageReporter(QWidget* window);
    ~MessageReporter() override;

    void report(const QString& handler, const receiver::RuntimeError& error) override;

    static QString line(const QString& handler, const receiver::RuntimeError& error);

    // Where a report whose frame is `report` big goes beside a window whose
    // frame is `window`, on a screen's free area: below it, else above, else
    // to its right, else to its left, keeping a small gap; only a screen too
    // small for all four puts it over the window.
    static QRect placeBeside(const QRect& window, const QSize& report, const QRect& screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    QWidget* m_window;
    QPointer<QMessageBox> m_box;
};

} // namespace corvane::controls
