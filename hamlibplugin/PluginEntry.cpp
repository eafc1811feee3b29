// What the component reaches of this library when it loads it at run time.
#include "component/api/HamlibSupport.h"
#include "hamlibplugin/HamlibBackend.h"
#include "hamlibplugin/HamlibModels.h"
#include "hamlibplugin/InitHamlib.h"
#include "receiver/RuntimeError.h"

namespace corvane::hamlibplugin {

namespace {

using component::HamlibEntry;
using component::HamlibModel;
using component::HamlibSupport;

class Support final : public HamlibSupport {
public:
    // The thread that loads the plugin (the component's): Hamlib's
    // process-wide set-up happens here, before any worker thread exists.
    Support() { initHamlib(); }

    // Component's thread.
    Made create(const HamlibEntry& entry, BackendSink& sink) override {
        try {
            return {std::make_unique<HamlibBackend>(HamlibBackend::settingsOf(entry), sink), {}};
        } catch (const receiver::RuntimeError& e) {
            return {nullptr, e.description()};
        }
    }

    // Any thread but the window's.
    std::vector<HamlibModel> listModels() override { return hamlibplugin::listModels(); }

    // Any thread but the window's.
    QString testLink(const HamlibEntry& entry) override {
        try {
            return hamlibplugin::testLink(HamlibBackend::settingsOf(entry));
        } catch (const receiver::RuntimeError& e) {
            return e.description();
        }
    }
};

} // namespace

} // namespace corvane::hamlibplugin

// Called once, on the component's thread, by the component's loader.
extern "C" Q_DECL_EXPORT const corvane::component::HamlibPluginEntry* corvane_hamlib_support_v2() {
    using corvane::component::HamlibPluginEntry;
    // Lives as long as the process and is never destroyed: a model list or a
    // link test may still be running on a pool thread when the program ends.
    static corvane::hamlibplugin::Support* const support = new corvane::hamlibplugin::Support;
    static const HamlibPluginEntry entry{corvane::component::hamlibPluginMagic,
                                         sizeof(HamlibPluginEntry), support};
    return &entry;
}
