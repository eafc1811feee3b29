#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

namespace corvane::check {

// What one step found. A person reads the first five at a glance; the others
// say why a step did not run.
enum class Result {
    Read,        // a value read from the receiver, nothing set
    Works,       // set, and the receiver holds what was set
    Refused,     // set, and the receiver said no or kept what it held
    HoldsOther,  // set, and the receiver holds neither that nor what it held
    NotOffered,  // listed by the receiver but not offered now: never set
    Unavailable, // the step could not run: no link, the call failed, time ran out
    NotTried,    // would need remote control (--remote), or the check was cut short
};

QString resultText(Result result);
// The inverse of resultText; Result::Unavailable for a text it does not know.
Result resultNamed(const QString& text);

// One line of the table.
struct Row {
    Row() = default;
    Row(QString setting, QString entry, Result result, qint64 eventMs = -1, qint64 readBackMs = -1,
        QString note = {})
        : setting(std::move(setting)), entry(std::move(entry)), result(result), eventMs(eventMs),
          readBackMs(readBackMs), note(std::move(note)) {}

    QString setting; // "mode", "filter in USB", "frequency", "put back"
    QString entry;   // what was read or set: "USB", "2400 Normal", "30000001 (max + 1)"
    Result result = Result::Read;
    qint64 eventMs = -1;    // set to the component's event; -1: no event (or not a set)
    qint64 readBackMs = -1; // set to the getter showing it; -1: never showed it
    QString note;           // what was held instead, the error, why not tried
};

// The check of one receiver.
struct ReceiverReport {
    QString driver; // its name in the driver table
    int index = -1;
    QString romId;
    bool remote = false;    // run with --remote
    QString outcome;        // "complete", "interrupted", "deadline", "link lost", "no link"
    qint64 durationMs = 0;  // the whole check of this receiver
    double smeterPerS = -1; // S-meter events a second while listening; -1 not measured
    QStringList notPutBack; // what could not be put back as it was found
    std::vector<Row> rows;

    // True when it ran to its end and left the receiver as it found it.
    bool clean() const { return outcome == QLatin1String("complete") && notPutBack.isEmpty(); }
    // How many rows have that result.
    int count(Result result) const;
};

// The table for a terminal: aligned columns, one row a line, a summary.
QString tableText(const ReceiverReport& report);
// The same as Markdown, for a report of several receivers.
QString markdown(const std::vector<ReceiverReport>& reports);
// Everything, for a program comparing two runs.
QJsonObject toJson(const std::vector<ReceiverReport>& reports);
std::vector<ReceiverReport> fromJson(const QJsonObject& json);
// Writes check.md and check.json into `dir` (made if missing); an empty text
// when done, else what went wrong.
QString writeReports(const std::vector<ReceiverReport>& reports, const QString& dir);

} // namespace corvane::check
