#pragma once

#include "receiver/Component.h"

#include <QObject>
#include <QStringList>

#include <functional>

namespace corvane::check {

class Interrupt;

// Where the program's text goes: the table (standard output) and progress
// and errors (standard error), one line each call.
struct Streams {
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
};

// Exit statuses of corvane-check.
enum Exit : int {
    Clean = 0,      // every receiver checked to the end and left as found
    Incomplete = 1, // a receiver cut short (link, deadline) or not put back
    Usage = 2,      // bad arguments, no such driver, no driver table
    Interrupted = 130,
};

// corvane-check with its arguments (the program's name first, as argv has
// it): the receivers of the application's driver table made by `make`, checked
// one after the other. `interrupt` (may be null) stops the check in hand.
int runCheck(const QStringList& arguments, const receiver::ComponentFactory& make,
             const Streams& streams, Interrupt* interrupt = nullptr);

} // namespace corvane::check
