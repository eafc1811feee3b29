#pragma once

#include "check/Report.h"
#include "receiver/Component.h"

#include <QElapsedTimer>
#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace corvane::check {

// How long the check may wait, and whether it may write.
struct Options {
    bool remote = false;     // take remote control and set things; else read only
    int stepMs = 3000;       // the longest wait for one set to show
    int connectMs = 10000;   // for the link to come up and its first reading
    int listenMs = 2000;     // S-meter events counted over this long
    int deadlineMs = 300000; // the survey of one receiver; putting back comes after
    int linkBackMs = 5000;   // a lost link gets this long to come back before putting back
    // After the survey, the operator switches the radio off and on again on
    // a countdown, and the check times how long the component takes to
    // notice either.
    bool pullThePlug = false;
    int countdownS = 5;
    int plugWaitMs = 30000; // for the lost link, and for it to come back

    // The longest one receiver's check can take, whatever the receiver does.
    qint64 boundMs() const;
};

// Checks one receiver of the component as the window would drive it: reads
// what the window shows and, under remote control, sets every entry of every
// list the window would offer, waits for the component's event, reads back,
// tunes to the limits and past them, and puts back what it found.
//
// Runs on the component's thread. It waits by turning the event loop, so
// events (and a virtual radio served by this thread) keep flowing, and every
// wait is bounded.
class ReceiverCheck final : public QObject {
    Q_OBJECT

public:
    // The component's events the check listens to.
    enum class Kind { ConnState, DataError, Frq, Mod, Flt, Agc, NBl, Att, SMt };

    ReceiverCheck(receiver::Component& component, int16_t index, Options options,
                  QObject* parent = nullptr);

    // Runs the check (again, if called again); the driver's name is taken
    // from the component.
    ReceiverReport run();

    // The first stops the survey and puts back what was found; the second
    // gives up putting back as well. Safe to call from a slot while run()
    // waits.
    void interrupt();

    // One line per step, before it waits: what it does and what it waits for.
    std::function<void(const QString&)> progress;
    // Each row as it is made (tests look at the receiver at that moment).
    std::function<void(const Row&)> onRow;

private:
    struct Seen {
        Kind kind;
        int32_t value;
        qint64 atMs; // on the run's clock
    };
    // One value that can be set and read back, and the event that reports it.
    struct Target {
        QString setting;
        QString entry;
        Kind kind;
        int32_t want;
        std::function<int32_t()> read;
        std::function<void()> set;
        std::function<QString(int32_t)> show;
    };
    // What the receiver held when the check began; nullopt where unknown.
    struct Found {
        std::optional<int32_t> freq, mode, filter, agc, nb, att;
    };
    enum class Phase { Survey, Plug, PutBack };

    void watch();
    void seen(int16_t index, Kind kind, int32_t value);
    bool waitUntil(const std::function<bool()>& done, qint64 ms);
    bool cancelled() const;
    qint64 stepLimit() const;
    bool linkUp();
    void say(const QString& text);
    void add(Row row);
    // Runs `call`; its error's description, or nothing when it went through.
    static std::optional<QString> attempt(const std::function<void()>& call);

    bool connectLink();
    Found readAll();
    void listen();
    void readOnlyLists();
    bool takeRemote();
    void survey();
    void surveyChoices(const QString& setting, int which);
    void surveyFilters(const QString& mode);
    void surveyFrequencies();
    Row probe(const Target& target);
    void pullThePlug();
    void putBack(const Found& found);
    void releaseLink();

    Target choiceTarget(const QString& setting, int which, int32_t code, const QString& entry);
    QString choiceName(int which, int32_t code);

    receiver::Component& m_rx;
    const int16_t m_index;
    const Options m_options;
    ReceiverReport m_report;
    QElapsedTimer m_clock;
    qint64 m_deadlineAt = 0;
    Phase m_phase = Phase::Survey;
    int m_interrupts = 0;
    bool m_lost = false; // a lost link was reported and has not come back
    bool m_lostInSurvey = false;
    bool m_connectedByUs = false;
    bool m_remoteByUs = false;
    std::vector<Seen> m_seen;
    size_t m_smeterSeen = 0;
    QString m_smeterText;
};

} // namespace corvane::check
