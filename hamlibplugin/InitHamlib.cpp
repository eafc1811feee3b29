#include "hamlibplugin/InitHamlib.h"

#include <hamlib/rig.h>

#include <QByteArray>
#include <QtGlobal>

#include <clocale>
#include <mutex>

namespace corvane::hamlibplugin {

void initHamlib() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Hamlib talks a lot on stderr; CORVANE_HAMLIB_DEBUG=0..5 lets it.
        const QByteArray level = qgetenv("CORVANE_HAMLIB_DEBUG");
        rig_set_debug(level.isEmpty() ? RIG_DEBUG_NONE
                                      : static_cast<rig_debug_level_e>(level.toInt()));
        rig_load_all_backends();
        // Hamlib 4.5 keeps the name setlocale(LC_NUMERIC, NULL) returns, sets
        // "C", and restores the kept name, which that call has freed unless it
        // is glibc's static "C". With LC_NUMERIC at "C" already (Qt set it
        // from the environment) nothing is freed. The window's numbers go
        // through QLocale, which reads the environment, not this.
        std::setlocale(LC_NUMERIC, "C");
    });
}

} // namespace corvane::hamlibplugin
