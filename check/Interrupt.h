#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace corvane::check {

// Ctrl-C (SIGINT) and SIGTERM as a Qt signal. The handler only writes a byte
// to a pipe; the event loop reads it and emits interrupted(), so the work of
// stopping (putting the receiver back) runs on the check's thread, never in
// the handler. One instance at a time; the signals' handling before it is
// restored when it goes.
class Interrupt final : public QObject {
    Q_OBJECT

public:
    explicit Interrupt(QObject* parent = nullptr);
    ~Interrupt() override;

    // False when the pipe or the handlers could not be set up.
    bool active() const { return m_notifier != nullptr; }

signals:
    void interrupted(int signal);

private:
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace corvane::check
