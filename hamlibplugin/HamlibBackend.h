#pragma once

#include "component/api/HamlibEntry.h"
#include "component/api/ReceiverBackend.h"
#include "hamlibplugin/HamlibWorker.h"

#include <QObject>

#include <memory>

namespace corvane::hamlibplugin {

using component::BackendSink;
using component::ReceiverBackend;
using component::ReceiverEvent;
using component::Setting;

// A real receiver through Hamlib: a radio on a serial or USB port, Hamlib's
// dummy rig, or a rig behind a rigctld daemon.
//
// All talk with the rig happens on one worker thread per receiver; this side
// answers every getter from the last state the worker published and hands
// every set to the worker's queue, so no call here waits on the radio.
//
// Hamlib has no notion of remote control. Here it means: only while the
// operator holds it are changes written to the radio; otherwise the radio is
// only read, from the moment of connecting on.
class HamlibBackend final : public QObject, public ReceiverBackend {
    Q_OBJECT

public:
    // Component's thread, like every method here but the static one.
    HamlibBackend(LinkSettings settings, BackendSink& sink);
    ~HamlibBackend() override;

    // The link settings a driver entry of either kind stands for; throws
    // RuntimeError when Hamlib knows no such model. Any thread once Hamlib is
    // set up (initHamlib()); the component's thread before.
    static LinkSettings settingsOf(const component::HamlibEntry& entry);

    // What the rig offers, as read when the link was opened (nothing before);
    // shares ownership of the tables the worker handed over.
    component::CapabilitiesPtr capabilities() const override { return {m_tables, &m_tables->caps}; }
    component::ReceiverState state() const override;

    void set(Setting setting, int32_t code, Origin origin) override;
    void setFilter(int32_t width, Origin origin) override;
    void setFrequency(int32_t hz, Origin origin) override;
    void setDeltaF(int32_t hz, Origin origin) override;

    bool connected() const override { return m_connected; }
    bool remote() const override { return m_connected && m_wantRemote; }
    int32_t connect(bool on) override;
    int32_t setRemote(bool on) override;
    int32_t keyPress(int16_t key) override;

    const LinkSettings& settings() const { return m_settings; }

private slots:
    // Takes what the worker has said; a moc-dispatched slot, so the call
    // carries no data across threads.
    void collect();

private:
    void startWorker();
    void onOpened(const RigTablesPtr& tables);
    void onPublished(const RigState& state, Origin origin);
    void onLost(int err);
    void onRefused(const Note& note);
    void refuse(Origin origin);
    void write(WriteKind kind, Write write);
    void reportChoice(Setting setting, int32_t code, Origin origin);

    LinkSettings m_settings;
    RigTablesPtr m_tables;
    RigState m_state;
    // Lives on its own thread, which may outlive this object (see WorkerThreads).
    HamlibWorker* m_worker = nullptr;
    quint64 m_session = 0;
    bool m_wanted = false;
    bool m_connected = false;
    bool m_wantRemote = false;
    int m_lastErr = 0;
};

} // namespace corvane::hamlibplugin
