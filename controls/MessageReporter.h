#pragma once

#include "controls/Handler.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QMessageBox;
class QWidget;

namespace corvane::controls {

// Time as the reports are paced by: now, and a callback after a delay on the
// window's thread. Tests drive it by hand.
struct ReportPacing {
    std::function<int64_t()> nowMs;
    std::function<void(int64_t delayMs, std::function<void()> callback)> after;
};

// Shows the last run-time error in one non-modal report beside the window and
// writes the same line to stderr. The report never covers the window, never
// takes the focus from where the operator types, closes with Esc (pressed in
// it or in the window), and is announced to a screen reader. A newer error
// replaces the older text, so a burst of failures never piles up reports.
//
// The same error again within kRepeatMs of its last line is counted, not
// shown: when that time is up one line stands for all of them ("... (repeated
// 250 times)"), on screen and on stderr alike. A receiver failing every
// millisecond thus gives a couple of lines a second, and every one counted.
class MessageReporter : public QObject, public ErrorReporter {
    Q_OBJECT

public:
    static constexpr int64_t kRepeatMs = 500;

    explicit MessageReporter(QWidget* window);
    ~MessageReporter() override;

    void report(const QString& handler, const receiver::RuntimeError& error) override;
    // Replaces the wall clock and Qt's timers.
    void setPacing(ReportPacing pacing);

    static QString line(const QString& handler, const receiver::RuntimeError& error);

    // Where a report whose frame is `report` big goes beside a window whose
    // frame is `window`, on a screen's free area: below it, else above, else
    // to its right, else to its left, keeping a small gap; only a screen too
    // small for all four puts it over the window.
    static QRect placeBeside(const QRect& window, const QSize& report, const QRect& screen);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // An error lately shown, and its repeats since.
    struct Recent {
        QString text;
        int64_t shownAt = 0;
        int64_t held = 0;
        bool flushArmed = false;
    };
    // The errors told apart at a time; an older one makes room.
    static constexpr size_t kRecent = 8;

    void place();
    void show(const QString& text);
    // Shows what `r` holds, once its time is up; else waits for that.
    void flush(Recent& r);
    void armFlush(Recent& r);
    Recent* recent(const QString& text);

    QWidget* m_window;
    QPointer<QMessageBox> m_box;
    ReportPacing m_pacing;
    std::vector<Recent> m_recent;
    // Lets a callback left on a clock by setPacing() know this is gone.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace corvane::controls
