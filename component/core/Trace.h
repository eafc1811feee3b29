#pragma once

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
class Trace {
public:
    // `target`: empty = off, "-" = stderr, else a file (started afresh).
    explicit Trace(const QString& target);
    ~Trace();
    Trace(const Trace&) = delete;
    Trace& operator=(const Trace&) = delete;

    bool on() const { return m_out != nullptr; }

    // "call <op>(<args>)<tail>", the tail being " -> 3", " <- 3" or " !! why".
    void call(const char* op, std::initializer_list<TraceArg> args, const QString& tail);
    // "call <op> <- <value>": a property write.
    void property(const char* name, int64_t value);
    // "event <name>(<args>)".
    void event(const char* name, std::initializer_list<TraceArg> args);

private:
    void write(const QString& line);

    std::FILE* m_out = nullptr;
    bool m_ownsFile = false;
};

} // namespace corvane::component
