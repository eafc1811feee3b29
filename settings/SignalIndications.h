#pragma once

#include "settings/Host.h"

#include <QLabel>

#include <cstdint>

namespace corvane::settings {

// The S-meter label. The HFF indication is received and not shown.
class SignalIndications {
public:
    SignalIndications(QLabel& smeter, Host& host);

    // Receiver_RxSMtUpdated: the text exactly as the component gives it.
    void smeterUpdated(int16_t index, int32_t freq, int16_t val, int16_t dB, const QString& sp);
    // Receiver_RxHFFUpdated: nothing to show.
    void hffUpdated(int16_t index, int32_t sts);

private:
    QLabel& m_smeter;
    Host& m_host;
};

} // namespace corvane::settings
