#pragma once

#include "component/api/ReceiverBackend.h"
#include "component/core/BackendRegistry.h"
#include "component/core/Trace.h"
#include "component/sim/Clock.h"
#include "component/store/DriverStore.h"
#include "receiver/Component.h"

#include <QDialog>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace corvane::component {

class DriverDialog;

// The Corvane receiver component: a table of drivers, each driving one
// receiver through a ReceiverBackend, and the events they raise.
//
// Every event goes through one queue and is emitted later from the event loop
// on this object's thread, never from inside an operation.
class CorvaneComponent final : public receiver::Component, private BackendSink {
    Q_OBJECT
    Q_PROPERTY(qint16 DrvForward READ drvForward WRITE setDrvForward)

public:
    // Shows a modal dialog and returns its result (QDialog::Accepted or not).
    // Tests replace it to fill and accept the dialog by code.
    using DialogRunner = std::function<int(DriverDialog&)>;

    struct Options {
        // Time for the receivers; a RealClock when empty.
        std::shared_ptr<Clock> clock;
        // Base of the driver store; XDG_CONFIG_HOME (else ~/.config) when empty.
        QString configHome;
        // How dialogs are shown; exec() when empty.
        DialogRunner runDialog;
        // Where the call/event trace goes; CORVANE_TRACE when not set.
        std::optional<QString> tracePath;
        // Backend kinds; the built-in ones when not set.
        std::optional<BackendRegistry> registry;
    };

    explicit CorvaneComponent(Options options = {}, QObject* parent = nullptr);
    ~CorvaneComponent() override;

    int32_t DrvSetup(const QString& application, int16_t dialog) override;
    int16_t DrvCount() override;
    QString DrvName(int16_t i) override;

    int32_t RxConfigure(int16_t index) override;
    int32_t RxConnect(int16_t index, int16_t state) override;
    int32_t RxRemote(int16_t index, int16_t state) override;
    int32_t RxKeyPress(int16_t index, int16_t keyAscii) override;

    int32_t RxConnected(int16_t index) override;
    int32_t RxIsRemote(int16_t index) override;
    QString RxRomId(int16_t index) override;
    int32_t RxFrqMax(int16_t index) override;
    int32_t RxFrqMin(int16_t index) override;
    int32_t RxBfo(int16_t index) override;
    int32_t RxFrq(int16_t index, int16_t vfo) override;
    void setRxFrq(int16_t index, int16_t vfo, int32_t frequency) override;
    void setRxDeltaF(int16_t index, int32_t deltaF) override;

    int16_t RxModCount(int16_t index) override;
    int32_t RxModAvail(int16_t index, int32_t i) override;
    QString RxModName(int16_t index, int32_t i) override;
    int32_t RxModCode(int16_t index, const QString& name) override;
    int32_t RxMod(int16_t index) override;
    void setRxMod(int16_t index, int32_t code) override;

    int16_t RxAgcCount(int16_t index) override;
    int32_t RxAgcAvail(int16_t index, int32_t i) override;
    QString RxAgcName(int16_t index, int32_t i) override;
    int32_t RxAgcCode(int16_t index, const QString& name) override;
    int32_t RxAgc(int16_t index) override;
    void setRxAgc(int16_t index, int32_t code) override;

    int16_t RxNBlCount(int16_t index) override;
    int32_t RxNBlAvail(int16_t index, int32_t i) override;
    QString RxNBlName(int16_t index, int32_t i) override;
    int32_t RxNBlCode(int16_t index, const QString& name) override;
    int32_t RxNBl(int16_t index) override;
    void setRxNBl(int16_t index, int32_t code) override;

    int16_t RxAttCount(int16_t index) override;
    int32_t RxAttAvail(int16_t index, int32_t i) override;
    QString RxAttName(int16_t index, int32_t i) override;
    int32_t RxAttCode(int16_t index, const QString& name) override;
    int32_t RxAtt(int16_t index) override;
    void setRxAtt(int16_t index, int32_t code) override;

    int16_t RxFltCount(int16_t index) override;
    int32_t RxFltWidth(int16_t index, int16_t i) override;
    QString RxFltName(int16_t index, int16_t bandwidth) override;
    int32_t RxFlt(int16_t index) override;
    void setRxFlt(int16_t index, int32_t bandwidth) override;

    // Nonzero forwards every change of one receiver to the others.
    qint16 drvForward() const { return m_forward; }
    void setDrvForward(qint16 value);

    // --- for tests and tools ---
    // The backend of receiver `index`, or null.
    ReceiverBackend* backend(int16_t index) const;
    const DriverTable& table() const { return m_table; }
    // Path of the driver store after DrvSetup; empty before.
    QString storePath() const { return m_store ? m_store->path() : QString(); }
    // What is wrong with the store file, as shown in the dialog; empty if fine.
    const QString& storeProblem() const { return m_storeProblem; }
    Clock& clock() const { return *m_clock; }

private:
    struct Slot {
        uint64_t id;
        QJsonObject entry;
        std::unique_ptr<ReceiverBackend> backend;
    };
    struct Pending {
        uint64_t slot; // 0 for the component's own (DrvUpdated)
        ReceiverEvent event;
    };

    // BackendSink
    void report(ReceiverBackend& from, ReceiverEvent event) override;

    // CorvaneComponent.cpp
    ReceiverBackend& backendAt(int16_t index, const char* operation) const;
    template <typename Result, typename Body>
    Result traced(const char* op, std::initializer_list<TraceArg> args, Body&& body);
    template <typename Body>
    void tracedSet(const char* op, std::initializer_list<TraceArg> args, int32_t value,
                   Body&& body);
    int16_t tableCount(int16_t index, Setting setting, const char* op);
    int32_t tableAvail(int16_t index, Setting setting, int32_t i, const char* op);
    QString tableName(int16_t index, Setting setting, int32_t i, const char* op);
    int32_t tableCode(int16_t index, Setting setting, const QString& name, const char* op);
    int32_t tableCurrent(int16_t index, Setting setting, const char* op);
    void tableSet(int16_t index, Setting setting, int32_t code, const char* op);
    // Throws when `value` would change what a receiver not under remote
    // control holds; `holds` is the event of what it holds, queued after the
    // data error so that the window puts its list back.
    void refuseUnlessRemote(int16_t index, const ReceiverBackend& rx, bool changes,
                            const ReceiverEvent& holds);

    // ComponentEvents.cpp
    void enqueue(Pending pending);
    void deliver();
    void emitEvent(int16_t index, const ReceiverEvent& event);
    void forward(const ReceiverBackend& from, const ReceiverEvent& event);

    // ComponentTable.cpp
    int32_t setup(const QString& application, int16_t dialog);
    int32_t configure(int16_t index);
    void applyTable(const DriverTable& table);
    void acceptEdited(const DriverTable& edited);
    int showDialog(DriverDialog& dialog);

    std::shared_ptr<Clock> m_clock;
    QString m_configHome;
    DialogRunner m_runDialog;
    BackendRegistry m_registry;
    Trace m_trace;

    std::optional<DriverStore> m_store;
    QString m_storeProblem;
    DriverTable m_table;
    std::vector<Slot> m_slots;
    uint64_t m_nextSlot = 1;

    std::deque<Pending> m_queue;
    bool m_deliveryPosted = false;
    qint16 m_forward = 0;
};

} // namespace corvane::component
