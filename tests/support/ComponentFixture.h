#pragma once

// A component on a driven clock in a private configuration folder, with helpers
// to write driver tables and profiles and to deliver queued events.
#include "component/core/CorvaneComponent.h"
#include "component/dialog/DriverDialog.h"
#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "component/sim/SimReceiver.h"
#include "receiver/RuntimeError.h"
#include "tests/support/Printers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QTemporaryDir>

#include <memory>
#include <utility>

namespace corvane::testsupport {

// The component tests are written in the component's own terms.
using namespace corvane::component;
using corvane::receiver::RuntimeError;

// A small receiver with the odd corners the tests need: mode-dependent filters
// and AGC, an unavailable mode and AGC entry, an attenuator with a dB value.
inline QJsonObject smallProfile() {
    return QJsonDocument::fromJson(R"({
      "romId": "Test RX 1", "frqMin": 100000, "frqMax": 30000000,
      "modes": [
        {"name": "AM", "code": 1, "bfo": 0, "agc": [1, 2],
         "filters": [{"width": 6000, "name": "Wide"}, {"width": 2400, "name": "Mid"}]},
        {"name": "USB", "code": 3, "bfo": -1500,
         "filters": [{"width": 2400, "name": "SSB"}, {"width": 1800, "name": "Nar"}]},
        {"name": "CW", "code": 4, "bfo": -700, "agc": [0],
         "filters": [{"width": 500, "name": "CW"}]},
        {"name": "DRM", "code": 9, "available": false}],
      "agc": [{"name": "Off", "code": 0}, {"name": "Fast", "code": 1},
              {"name": "Slow", "code": 2}, {"name": "Auto", "code": 3, "available": false}],
      "nb": [{"name": "Off", "code": 0}, {"name": "NB1", "code": 1}],
      "att": [{"name": "0 dB", "code": 0}, {"name": "20 dB", "code": 20, "dB": 20}],
      "initial": {"freq": 7000000, "mode": 1, "agc": 1, "nb": 0, "att": 0},
      "behaviour": {"connectDelayMs": 300, "smeterIntervalMs": 0}})")
        .object();
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    f.write(bytes);
}

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// The driver table "Test" in a configuration folder.
inline void writeDriverTable(const QString& configHome, const QByteArray& json) {
    writeFile(QDir(configHome).filePath(QStringLiteral("corvane/Test.json")), json);
}

// What a call that should fail says, after its number unless it is the
// component's own failure; "(answered)" when it did not fail.
template <typename Call> QString failure(Call&& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number() == RuntimeError::ComponentFailure
                   ? e.description()
                   : QStringLiteral("error %1: %2").arg(e.number()).arg(e.description());
    }
    return QStringLiteral("(answered)");
}

// Every event the component emits but the S-meter's, in order, written as the
// trace writes them: "RxModUpdated(0, 3, -1500)".
class EventLog {
public:
    explicit EventLog(corvane::receiver::Component& c) {
        using C = corvane::receiver::Component;
        [&](auto... each) {
            (connect(c, each), ...);
        }(&C::DrvUpdated, &C::RxConnState, &C::RxDataError, &C::RxFrqUpdated, &C::RxModUpdated,
          &C::RxFltUpdated, &C::RxAgcUpdated, &C::RxNBlUpdated, &C::RxAttUpdated, &C::RxHFFUpdated);
    }

    // What was emitted since the last take().
    QStringList take() { return std::exchange(m_lines, {}); }

private:
    template <typename... A>
    void connect(corvane::receiver::Component& c,
                 void (corvane::receiver::Component::*signal)(A...)) {
        const QString name = QString::fromLatin1(QMetaMethod::fromSignal(signal).name());
        QObject::connect(&c, signal, &m_context, [this, name](A... args) {
            m_lines.append(name + '(' + QStringList{QString::number(args)...}.join(u", ") + ')');
        });
    }

    QObject m_context;
    QStringList m_lines;
};

class Rig {
public:
    // Made in the body, not in the initialiser list: options() reads `dir` and `clock`.
    explicit Rig(std::optional<QString> trace = QString()) {
        component = std::make_unique<CorvaneComponent>(options(std::move(trace)));
    }

    // What `component` was made with, for another one on the same folder.
    CorvaneComponent::Options options(std::optional<QString> trace) {
        CorvaneComponent::Options o;
        o.clock = clock;
        o.configHome = dir.path();
        o.tracePath = std::move(trace);
        o.runDialog = [this](DriverDialog& d) {
            ++dialogsShown;
            return onDialog ? onDialog(d) : int(QDialog::Rejected);
        };
        return o;
    }

    QString storeFile() const { return dir.filePath("corvane/Test.json"); }
    QJsonDocument saved() const { return QJsonDocument::fromJson(readAll(storeFile())); }

    // Broken tables kept beside the store by a save.
    QStringList brokenCopies() const {
        return QDir(dir.filePath("corvane")).entryList({"Test.json.broken-*"}, QDir::Files);
    }

    void writeTable(const QJsonArray& drivers) const {
        writeFile(storeFile(), QJsonDocument(QJsonObject{{"drivers", drivers}}).toJson());
    }

    static QJsonObject sim(const QString& name, const QString& profile) {
        return QJsonObject{{"name", name}, {"kind", "sim"}, {"profile", profile}};
    }

    // Receivers from profiles, set up as the program does.
    void setUp(const QList<QJsonObject>& profiles) {
        QJsonArray drivers;
        for (qsizetype i = 0; i < profiles.size(); ++i) {
            const QString path = dir.filePath(QStringLiteral("corvane/R%1.profile.json").arg(i));
            writeFile(path, QJsonDocument(profiles[i]).toJson());
            drivers.append(sim(QStringLiteral("R%1").arg(i), path));
        }
        writeTable(drivers);
        component->DrvSetup("Test", 0);
    }

    // Delivers what the component queued, as the event loop would.
    void deliver() const { QCoreApplication::sendPostedEvents(component.get(), QEvent::MetaCall); }

    void advance(int64_t ms) const { clock->advance(ms); }

    // Connected and under remote control, with the events of getting there delivered.
    void takeControl(int16_t index) const {
        component->RxConnect(index, -1);
        advance(1000);
        component->RxRemote(index, -1);
        deliver();
    }

    QTemporaryDir dir;
    std::shared_ptr<DrivenClock> clock = std::make_shared<DrivenClock>();
    std::function<int(DriverDialog&)> onDialog;
    int dialogsShown = 0;
    std::unique_ptr<CorvaneComponent> component;
};

} // namespace corvane::testsupport
