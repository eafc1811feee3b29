#pragma once

#include "component/api/ReceiverBackend.h"
#include "component/api/SMeter.h"
#include "component/sim/Clock.h"
#include "component/sim/Profile.h"
#include "component/sim/ProfileCache.h"

#include <QString>

#include <memory>
#include <random>

namespace corvane::component {

// A receiver that exists only in memory, described by a Profile. It behaves
// like a well-mannered real one: it connects after a delay, obeys sets only
// while connected and under remote control, reports each real change once,
// reads an S-meter from the profile's stations, and fails on cue (faults).
class SimReceiver final : public ReceiverBackend {
public:
    SimReceiver(std::shared_ptr<const Profile> profile, Clock& clock, BackendSink& sink);
    // The same with the profile's capabilities made already (and shared with
    // every receiver of that profile).
    SimReceiver(SharedProfile profile, Clock& clock, BackendSink& sink);
    ~SimReceiver() override;

    // Builds one from a driver entry ("profile": "builtin:hf" or a path).
    static std::unique_ptr<ReceiverBackend> create(const BackendContext& context);

    std::optional<QString> refusal(std::string_view operation) const override;

    CapabilitiesPtr capabilities() const override { return m_caps; }
    ReceiverState state() const override;

    void set(Setting setting, int32_t code, Origin origin) override;
    void setFilter(int32_t width, Origin origin) override;
    void setFrequency(int32_t hz, Origin origin) override;
    void setDeltaF(int32_t hz, Origin origin) override;

    bool connected() const override { return m_connected; }
    bool remote() const override { return m_remote; }
    int32_t connect(bool on) override;
    int32_t setRemote(bool on) override;
    int32_t keyPress(int16_t key) override;

    // Characters received through keyPress, oldest first (the last 256 kept).
    const QString& typed() const { return m_typed; }

    // The S-meter reading for a level in dBm: value, dB over S9, text.
    static smeter::Reading reading(int32_t dBm) { return smeter::fromDbm(dBm); }

private:
    // The profile's entry of the current mode; null when no mode has its code.
    const Profile::Mode* currentMode() const;
    bool obeys() const { return m_connected && m_remote; }
    int32_t level(Setting setting, int32_t code) const { return m_caps->indexOf(setting, code); }
    void reportChoice(Setting setting, Origin origin);
    void reportFrequency(Origin origin);

    void becomeConnected();
    void becomeDisconnected(int32_t err);
    void stopTimers();
    void scheduleSMeter();
    void scheduleDataError();
    int32_t signalDbm();

    // Shared with every receiver of the same profile file.
    std::shared_ptr<const Profile> m_shared;
    const Profile& m_profile;
    // Made from the profile; the tables never change while the receiver runs.
    CapabilitiesPtr m_caps;
    Clock& m_clock;

    int32_t m_freq;
    int32_t m_mode;
    int32_t m_filter;
    int32_t m_agc;
    int32_t m_nb;
    int32_t m_att;
    int32_t m_deltaF;
    bool m_connected;
    bool m_remote;

    Clock::TimerId m_connectTimer = 0;
    Clock::TimerId m_smeterTimer = 0;
    Clock::TimerId m_dropTimer = 0;
    Clock::TimerId m_dataErrorTimer = 0;

    // Only the meter's noise: four bytes of state, seeded by the model.
    std::minstd_rand m_noise;
    QString m_typed;
};

} // namespace corvane::component
