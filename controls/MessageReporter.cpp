#include "controls/MessageReporter.h"

#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <utility>

#include <cstdio>

namespace corvane::controls {

namespace {
constexpr int kGap = 8;

QMargins frameMargins(const QWidget& w) {
    const QRect frame = w.frameGeometry();
    const QRect client = w.geometry();
    return {client.left() - frame.left(), client.top() - frame.top(),
            frame.right() - client.right(), frame.bottom() - client.bottom()};
}
} // namespace

MessageReporter::MessageReporter(QWidget* window) : m_window(window) {
    qApp->installEventFilter(this);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    m_pacing = {[started] { return started->elapsed(); },
                [this](int64_t delayMs, std::function<void()> callback) {
                    QTimer::singleShot(std::chrono::milliseconds(delayMs), this,
                                       std::move(callback));
                }};
}

void MessageReporter::setPacing(ReportPacing pacing) {
    m_pacing = std::move(pacing);
    for (Recent& r : m_recent) {
        r.flushArmed = false;
    }
}

MessageReporter::~MessageReporter() {
    qApp->removeEventFilter(this);
    delete m_box.data();
}

QString MessageReporter::line(const QString& handler, const receiver::RuntimeError& error) {
    return handler + QStringLiteral(": ") + error.message();
}

QRect MessageReporter::placeBeside(const QRect& window, const QSize& report, const QRect& screen) {
    const auto clampX = [&](int x) {
        return std::max(screen.left(), std::min(x, screen.right() + 1 - report.width()));
    };
    const auto clampY = [&](int y) {
        return std::max(screen.top(), std::min(y, screen.bottom() + 1 - report.height()));
    };
    const int below = window.bottom() + 1 + kGap;
    if (below + report.height() <= screen.bottom() + 1) {
        return {QPoint(clampX(window.left()), below), report};
    }
    const int above = window.top() - kGap - report.height();
    if (above >= screen.top()) {
        return {QPoint(clampX(window.left()), above), report};
    }
    const int right = window.right() + 1 + kGap;
    if (right + report.width() <= screen.right() + 1) {
        return {QPoint(right, clampY(window.top())), report};
    }
    const int left = window.left() - kGap - report.width();
    if (left >= screen.left()) {
        return {QPoint(left, clampY(window.top())), report};
    }
    return {QPoint(clampX(window.left()), clampY(below)), report};
}

void MessageReporter::place() {
    const QScreen* screen = m_window->screen();
    if (screen == nullptr) {
        return;
    }
    // Before the window manager has framed the report its frame is taken to
    // be like the window's.
    QMargins frame = frameMargins(*m_box);
    if (frame.isNull()) {
        frame = frameMargins(*m_window);
    }
    const QSize size = m_box->size().grownBy(frame);
    const QRect where = placeBeside(m_window->frameGeometry(), size, screen->availableGeometry());
    // Placed by its client area, which every window manager honours alike
    // whether or not it has told the frame's size yet.
    m_box->setGeometry(QRect(where.topLeft() + QPoint(frame.left(), frame.top()), m_box->size()));
}

MessageReporter::Recent* MessageReporter::recent(const QString& text) {
    for (Recent& r : m_recent) {
        if (r.text == text) {
            return &r;
        }
    }
    return nullptr;
}

void MessageReporter::report(const QString& handler, const receiver::RuntimeError& error) {
    const QString text = line(handler, error);
    const int64_t now = m_pacing.nowMs();
    if (Recent* r = recent(text)) {
        ++r->held;
        flush(*r);
        return;
    }
    if (m_recent.size() == kRecent) {
        // The oldest makes room; what it holds is said now rather than lost.
        auto oldest = std::min_element(
            m_recent.begin(), m_recent.end(),
            [](const Recent& a, const Recent& b) { return a.shownAt < b.shownAt; });
        if (oldest->held > 0) {
            oldest->shownAt = now - kRepeatMs;
            flush(*oldest);
        }
        m_recent.erase(oldest);
    }
    m_recent.push_back({text, now});
    show(text);
}

void MessageReporter::flush(Recent& r) {
    if (r.held == 0) {
        return;
    }
    const int64_t now = m_pacing.nowMs();
    if (now - r.shownAt < kRepeatMs) {
        armFlush(r);
        return;
    }
    const int64_t count = std::exchange(r.held, 0);
    r.shownAt = now;
    show(count == 1 ? r.text : QStringLiteral("%1 (repeated %2 times)").arg(r.text).arg(count));
}

void MessageReporter::armFlush(Recent& r) {
    if (r.flushArmed) {
        return;
    }
    r.flushArmed = true;
    const std::weak_ptr<int> alive = m_alive;
    m_pacing.after(r.shownAt + kRepeatMs - m_pacing.nowMs(), [this, alive, text = r.text] {
        if (alive.expired()) {
            return;
        }
        if (Recent* due = recent(text)) {
            due->flushArmed = false;
            flush(*due);
        }
    });
}

void MessageReporter::show(const QString& text) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    const bool shown = !m_box.isNull() && m_box->isVisible();
    if (m_box.isNull()) {
        m_box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Corvane Test"), text,
                                QMessageBox::Close, m_window);
        m_box->setObjectName(QStringLiteral("Report"));
        m_box->setWindowModality(Qt::NonModal);
        // Keep the focus where the operator is typing: the report is for reading.
        m_box->setAttribute(Qt::WA_ShowWithoutActivating);
        m_box->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
        m_box->setEscapeButton(QMessageBox::Close);
    }
    m_box->setText(text);
    m_box->adjustSize();
    place();
    const bool windowActive = m_window->isActiveWindow();
    m_box->show();
    place(); // now with its real size and, under a window manager, its frame
    if (windowActive) {
        // Where the platform activates every new window regardless, the
        // operator's window takes the activation back.
        m_window->activateWindow();
    }
    if (shown) {
        // A replaced text is a new alert; a first show announces itself.
        QAccessibleEvent alert(m_box.data(), QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

bool MessageReporter::eventFilter(QObject* watched, QEvent* event) {
    // Esc typed anywhere in the window closes the report; the key goes on.
    if (event->type() == QEvent::KeyPress && !m_box.isNull() && m_box->isVisible() &&
        watched->isWidgetType() && static_cast<QWidget*>(watched)->window() == m_window &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        m_box->hide();
    }
    return false;
}

} // namespace corvane::controls
