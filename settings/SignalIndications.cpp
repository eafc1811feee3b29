#include "settings/SignalIndications.h"

namespace corvane::settings {

SignalIndications::SignalIndications(QLabel& smeter, Host& host) : m_smeter(smeter), m_host(host) {}

void SignalIndications::smeterUpdated(int16_t index, int32_t /*freq*/, int16_t /*val*/,
                                      int16_t /*dB*/, const QString& sp) {
    if (m_host.selectedReceiver() != index) {
        return;
    }
    m_smeter.setText(sp);
}

void SignalIndications::hffUpdated(int16_t /*index*/, int32_t /*sts*/) {}

} // namespace corvane::settings
