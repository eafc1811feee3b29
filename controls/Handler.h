#pragma once

#include "receiver/RuntimeError.h"

#include <QString>

#include <exception>
#include <functional>

namespace corvane::controls {

// Where a run-time error that ended a handler goes. The window has one; tests
// replace it with one that records.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    // handler: the name of the handler the toolkit or the component started.
    virtual void report(const QString& handler, const receiver::RuntimeError& error) = 0;
};

// A handler called by the toolkit or by a component event is the boundary of
// a run-time error: whatever the handler did before the failing step stays, the
// error is reported, and the program goes on. Code that runs a handler itself
// (a selection made by a loader) calls it directly so the error passes up.
inline void runHandler(ErrorReporter* reporter, const QString& name,
                       const std::function<void()>& handler) {
    try {
        handler();
    } catch (const receiver::RuntimeError& error) {
        if (reporter != nullptr) {
            reporter->report(name, error);
        }
    } catch (const std::exception& error) {
        // Not one of ours (a bad_alloc, a library's own exception): still the
        // operator's to read, and still no reason to end the program.
        if (reporter != nullptr) {
            reporter->report(name, receiver::RuntimeError(receiver::RuntimeError::ComponentFailure,
                                                          QString::fromLocal8Bit(error.what())));
        }
    }
}

// A named handler bound to the reporter that sees its errors.
struct Binding {
    QString name;
    std::function<void()> handler;
    ErrorReporter* reporter = nullptr;

    explicit operator bool() const { return static_cast<bool>(handler); }
    void runAtBoundary() const { runHandler(reporter, name, handler); }
};

} // namespace corvane::controls
