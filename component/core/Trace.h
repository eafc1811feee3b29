#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <initializer_list>

namespace corvane::component {

// One argument of a traced call or event: a number or a text. Cheap to build,
// so untraced calls pay nothing for the formatting they skip.
struct TraceArg {
    TraceArg(int64_t n) : number(n) {}
    TraceArg(int32_t n) : number(n) {}
    TraceArg(int16_t n) : number(n) {}
    TraceArg(const QString& t) : text(&t) {}

    int64_t number = 0;
    const QString* text = nullptr;

    QString format() const;
};

// The call and event log named by CORVANE_TRACE ("-" for stderr). One line per
// call or event, written and flushed at once, so a crash loses nothing.
//
// The file is opened with the first line, so that the files it must never
// overwrite (the driver table, the profiles in use, the receivers' ports:
// protect()) are known by then. They are recognised under any name: a
// symbolic or hard link, a path through "..". Only a regular file is taken,
// or of the devices the program's own terminal and the null sinks
// (/dev/null): a serial port or another terminal is a receiver's or someone
// else's line. Nothing here can block on opening: a FIFO named by mistake
// must not hang the program. A refusal or a failed write is said once on
// stderr and ends the trace.
class Trace {
public:
    // `target`: empty = off, "-" = stderr, else a file (started afresh).
    explicit Trace(const QString& target);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool on() const { return !m_target.isEmpty() && !m_failed; }

    // A file the trace must not be written to; refused when the trace is
    // opened, saying "it is <what>" ("the driver table").
    void protect(const QString& path, const QString& what);

    // "call <op>(<args>)<tail>", the tail being " -> 3", " <- 3" or " !! why".
    void call(const char* op, std::initializer_list<TraceArg> args, const QString& tail);
    // "call <op> <- <value>": a property write.
    void property(const char* name, int64_t value);
    // "event <name>(<args>)".
    void event(const char* name, std::initializer_list<TraceArg> args);

private:
    void write(const QString& line);
    bool open();
    void fail(const QString& why);

    struct Protected {
        QString path;
        QString what;
    };

    // What the target is in use as, if it is a protected file.
    const Protected* inUse() const;

    QString m_target;
    QList<Protected> m_protected;
    std::FILE* m_out = nullptr;
    bool m_ownsFile = false;
    bool m_failed = false;
};

} // namespace corvane::component
