#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

namespace corvane::receiver {

// True as the component's numbers carry it: what RxConnected, RxIsRemote and
// the Avail operations answer for yes, and what RxConnect and RxRemote take
// for on. Any other nonzero value is taken as true as well.
inline constexpr int16_t comTrue = -1;
// RxConnState's Err when the link or remote control changed as asked; any
// other value is the error that ended the link.
inline constexpr int32_t linkChanged = 1000;

// The Corvane receiver component as the window uses it: the driver table and,
// per receiver (first argument `Index`, its 0-based position in the table), the
// operations below. A failed operation throws RuntimeError; command statuses are
// returned but the window never looks at them.
//
// Threading contract of every operation: called on the window's thread only,
// answers from memory and never waits on a receiver, and never emits an event
// from inside the call. Events are emitted on the window's thread, from the
// event loop, each delivered once.
class Component : public QObject {
    Q_OBJECT

public:
    explicit Component(QObject* parent = nullptr) : QObject(parent) {}
    ~Component() override = default;

    // --- driver table ---
    // The exception to never waiting: opens a modal driver dialog when dialog is 1.
    virtual int32_t DrvSetup(const QString& application, int16_t dialog) = 0;
    virtual int16_t DrvCount() = 0;
    virtual QString DrvName(int16_t i) = 0;

    // --- one receiver: commands (status is returned, 0 for accepted) ---
    // The exception to never waiting: opens a modal configuration dialog.
    virtual int32_t RxConfigure(int16_t index) = 0;
    // Queues the connect or disconnect; the outcome comes as RxConnState.
    virtual int32_t RxConnect(int16_t index, int16_t state) = 0;
    // Takes (-1) or releases (0) remote control.
    virtual int32_t RxRemote(int16_t index, int16_t state) = 0;
    // Queues one typed character for the receiver.
    virtual int32_t RxKeyPress(int16_t index, int16_t keyAscii) = 0;

    // --- one receiver: state (getters from memory, setters queue) ---
    // Nonzero is true.
    virtual int32_t RxConnected(int16_t index) = 0;
    // Nonzero is true.
    virtual int32_t RxIsRemote(int16_t index) = 0;
    virtual QString RxRomId(int16_t index) = 0;
    virtual int32_t RxFrqMax(int16_t index) = 0;
    virtual int32_t RxFrqMin(int16_t index) = 0;
    virtual int32_t RxBfo(int16_t index) = 0;
    virtual int32_t RxFrq(int16_t index, int16_t vfo) = 0;
    // Queued; the change comes back as RxFrqUpdated.
    virtual void setRxFrq(int16_t index, int16_t vfo, int32_t frequency) = 0;
    // Queued.
    virtual void setRxDeltaF(int16_t index, int32_t deltaF) = 0;

    virtual int16_t RxModCount(int16_t index) = 0;
    virtual int32_t RxModAvail(int16_t index, int32_t i) = 0;
    virtual QString RxModName(int16_t index, int32_t i) = 0;
    // -1 for a name the receiver does not know.
    virtual int32_t RxModCode(int16_t index, const QString& name) = 0;
    virtual int32_t RxMod(int16_t index) = 0;
    // Queued; the change comes back as RxModUpdated.
    virtual void setRxMod(int16_t index, int32_t code) = 0;

    virtual int16_t RxAgcCount(int16_t index) = 0;
    virtual int32_t RxAgcAvail(int16_t index, int32_t i) = 0;
    virtual QString RxAgcName(int16_t index, int32_t i) = 0;
    // -1 for an unknown name.
    virtual int32_t RxAgcCode(int16_t index, const QString& name) = 0;
    virtual int32_t RxAgc(int16_t index) = 0;
    // Queued; the change comes back as RxAgcUpdated.
    virtual void setRxAgc(int16_t index, int32_t code) = 0;

    virtual int16_t RxNBlCount(int16_t index) = 0;
    virtual int32_t RxNBlAvail(int16_t index, int32_t i) = 0;
    virtual QString RxNBlName(int16_t index, int32_t i) = 0;
    // -1 for an unknown name.
    virtual int32_t RxNBlCode(int16_t index, const QString& name) = 0;
    virtual int32_t RxNBl(int16_t index) = 0;
    // Queued; the change comes back as RxNBlUpdated.
    virtual void setRxNBl(int16_t index, int32_t code) = 0;

    virtual int16_t RxAttCount(int16_t index) = 0;
    virtual int32_t RxAttAvail(int16_t index, int32_t i) = 0;
    virtual QString RxAttName(int16_t index, int32_t i) = 0;
    // -1 for an unknown name.
    virtual int32_t RxAttCode(int16_t index, const QString& name) = 0;
    virtual int32_t RxAtt(int16_t index) = 0;
    // Queued; the change comes back as RxAttUpdated.
    virtual void setRxAtt(int16_t index, int32_t code) = 0;

    // Filters of the current mode.
    virtual int16_t RxFltCount(int16_t index) = 0;
    virtual int32_t RxFltWidth(int16_t index, int16_t i) = 0;
    // the name of the filter with that bandwidth.
    virtual QString RxFltName(int16_t index, int16_t bandwidth) = 0;
    virtual int32_t RxFlt(int16_t index) = 0;
    // Queued; the change comes back as RxFltUpdated.
    virtual void setRxFlt(int16_t index, int32_t bandwidth) = 0;

signals:
    void DrvUpdated(int32_t Count);
    void RxConnState(int16_t Index, int32_t Err);
    void RxDataError(int16_t Index, int32_t Err);
    void RxFrqUpdated(int16_t Index, int32_t Freq, int32_t Carr);
    void RxModUpdated(int16_t Index, int32_t Mods, int32_t Off);
    void RxFltUpdated(int16_t Index, int32_t Filt);
    void RxAgcUpdated(int16_t Index, int32_t Sts, int16_t Lvl);
    void RxNBlUpdated(int16_t Index, int32_t Sts, int16_t Lvl);
    void RxAttUpdated(int16_t Index, int32_t Sts, int16_t Lvl);
    void RxHFFUpdated(int16_t Index, int32_t Sts);
    void RxSMtUpdated(int16_t Index, int32_t Freq, int16_t Val, int16_t dB, const QString& SP);
};

// The window creates its one component instance through this; the program
// hands it the real component, tests a recording fake.
using ComponentFactory = std::function<std::unique_ptr<Component>()>;

// Sets a property of the component looked up by its name at run time, the way
// a late-bound call would. A component without that property, or one that
// refuses the value, raises a run-time error rather than ignoring the call.
void setPropertyByName(QObject& object, const char* name, const QVariant& value);

} // namespace corvane::receiver
