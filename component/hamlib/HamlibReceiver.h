#pragma once

#include "component/api/HamlibEntry.h"
#include "component/api/ReceiverBackend.h"
#include "component/api/UnavailableReceiver.h"

#include <memory>

namespace corvane::component {

// A receiver of kind "hamlib" or "rigctld" as the component holds it: the
// entry, read and checked as far as that needs no Hamlib, and the Hamlib
// plugin's backend made on the first operation that asks anything of the
// receiver. Until then Hamlib is not even loaded, so a table whose Hamlib
// receivers are not used costs what a table without them costs.
//
// Making the backend does no I/O (the link is opened on its worker when
// connecting); when the plugin cannot be loaded or Hamlib refuses the entry
// (an unknown model), every operation is refused with the reason.
//
// All calls come on the component's thread, like every backend's.
class HamlibReceiver final : public ReceiverBackend {
public:
    HamlibReceiver(HamlibEntry entry, BackendSink& sink);
    ~HamlibReceiver() override;

    // The factory of both kinds; throws RuntimeError for an entry that cannot
    // work whatever Hamlib says. Component's thread.
    static std::unique_ptr<ReceiverBackend> create(const BackendContext& context);

    // Whether the plugin's backend has been made (or refused) yet.
    // Component's thread.
    bool made() const { return m_tried; }

    std::optional<QString> refusal(std::string_view operation) const override;

    CapabilitiesPtr capabilities() const override;
    ReceiverState state() const override;

    void set(Setting setting, int32_t code, Origin origin) override;
    void setFilter(int32_t width, Origin origin) override;
    void setFrequency(int32_t hz, Origin origin) override;
    void setDeltaF(int32_t hz, Origin origin) override;

    // A receiver not made yet is not connected; asking does not make it.
    bool connected() const override;
    bool remote() const override;
    // Connecting throws RuntimeError, naming the driver and the port, when
    // the entry's device cannot be a radio's port (HamlibPort.h).
    int32_t connect(bool on) override;
    int32_t setRemote(bool on) override;
    int32_t keyPress(int16_t key) override;

private:
    // Passes the plugin backend's events on as this receiver's.
    class Relay final : public BackendSink {
    public:
        explicit Relay(HamlibReceiver& owner) : m_owner(owner) {}
        void report(ReceiverBackend&, ReceiverEvent event) override;

    private:
        HamlibReceiver& m_owner;
    };

    // The plugin's backend, made the first time; the stand-in when refused.
    ReceiverBackend& target() const;

    HamlibEntry m_entry;
    mutable Relay m_relay{*this};
    // Made on first use, from const getters too, hence mutable. Declared
    // after m_relay, so it goes first: its events have nowhere to go after that.
    mutable std::unique_ptr<ReceiverBackend> m_real;
    // Answers for a backend that could not be made; never reports anything.
    mutable UnavailableReceiver m_none{m_relay, {}};
    mutable bool m_tried = false;
};

} // namespace corvane::component
