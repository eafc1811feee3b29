#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>

namespace corvane::vradio {

// Standard output or error of the virtual radio, written by a thread of its
// own: a reader that is slow, stopped or gone (a pipe nobody reads, `| head
// -1`) never stops the radio, whose job is its line. What does not fit in a
// bounded queue is left out, and a note says how much once there is room
// again; after the reader has gone (EPIPE) nothing more is written.
//
// SIGPIPE must be ignored by the program (the radio does): a write to a
// reader that has gone then fails instead of ending it.
class ConsoleWriter {
public:
    explicit ConsoleWriter(int fd, size_t limit = 1 << 20);
    ~ConsoleWriter();
    ConsoleWriter(const ConsoleWriter&) = delete;
    ConsoleWriter& operator=(const ConsoleWriter&) = delete;

    // Any thread; never blocks for the reader. A newline is added.
    void say(const QByteArray& text);
    // Waits at most `limit` for what was said to be written; true when it has.
    bool flush(std::chrono::milliseconds limit);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

// Splits what is typed into command lines, each at most `longest` bytes: a
// longer one is dropped as it comes, without holding it, and reported once
// its newline comes.
class CommandLines {
public:
    static constexpr qsizetype longest = 4096;

    // `command`: a line without its newline; `tooLong`: a line of this many
    // bytes left out.
    CommandLines(std::function<void(const QByteArray&)> command,
                 std::function<void(qsizetype)> tooLong)
        : m_command(std::move(command)), m_tooLong(std::move(tooLong)) {}
    void feed(const char* bytes, qsizetype size);

private:
    std::function<void(const QByteArray&)> m_command;
    std::function<void(qsizetype)> m_tooLong;
    QByteArray m_typed;
    qsizetype m_skipped = -1; // bytes of a too long line so far; -1 none
};

// The console of the tap and of the replay, until `quitFd` becomes readable
// (the signal pipe): `status` says status(), `help` says `help`, anything
// else is named unknown for `what` ("a tap"). Runs the application's event
// loop; standard input ending stops only the console.
void runStatusConsole(ConsoleWriter& out, int quitFd, const std::function<QString()>& status,
                      const QByteArray& help, const QByteArray& what);

} // namespace corvane::vradio
