#include "component/hamlib/HamlibPort.h"

#include <QFile>

#include <algorithm>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace corvane::component {

namespace {

// Linux's character device majors: memory devices, and the terminal aliases.
constexpr unsigned memoryMajor = 1;
constexpr unsigned ttyAliasMajor = 5; // 0 /dev/tty, 1 /dev/console, 2 /dev/ptmx

// The path as a message can hold it: control characters as \xNN.
QString shown(const QString& path) {
    QString out;
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) {
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

// Whether `device` is the terminal on one of the program's standard streams.
bool ownTerminal(dev_t device) {
    for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (::isatty(fd) != 0 && ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) &&
            st.st_rdev == device) {
            return true;
        }
    }
    return false;
}

std::optional<QString> problemWith(const QString& path) {
    if (std::any_of(path.begin(), path.end(),
                    [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; })) {
        return QStringLiteral("has a control character in it");
    }
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return std::nullopt; // not there (yet): Hamlib says what opening it gives
    }
    if (S_ISDIR(st.st_mode)) {
        return QStringLiteral("is a directory, not a device");
    }
    if (!S_ISCHR(st.st_mode)) {
        return QStringLiteral("is not a character device (a serial line is one)");
    }
    const unsigned major = ::major(st.st_rdev);
    if (major == memoryMajor) {
        return QStringLiteral("is a memory device (like /dev/null), not a line to a radio");
    }
    if (major == ttyAliasMajor && ::minor(st.st_rdev) <= 2) {
        return QStringLiteral("is the console or the program's controlling terminal, not a "
                              "line to a radio");
    }
    if (ownTerminal(st.st_rdev)) {
        return QStringLiteral("is the terminal this program runs in, not a line to a radio");
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> radioPortProblem(const HamlibEntry& entry) {
    if (entry.daemon || entry.pathname.isEmpty()) {
        return std::nullopt;
    }
    if (std::optional<QString> why = problemWith(entry.pathname)) {
        return QStringLiteral("driver \"%1\": port \"%2\" %3")
            .arg(entry.name, shown(entry.pathname), *why);
    }
    return std::nullopt;
}

} // namespace corvane::component
