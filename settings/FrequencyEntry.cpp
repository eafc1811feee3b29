#include "settings/FrequencyEntry.h"

#include "settings/NumberText.h"

namespace corvane::settings {

FrequencyEntry::FrequencyEntry(QLineEdit& freq, QLineEdit& deltaF, QLabel& read, Host& host)
    : m_freq(freq), m_deltaF(deltaF), m_read(read), m_host(host) {}

void FrequencyEntry::freqValidate(bool& /*cancel*/) {
    if (m_freq.text().isEmpty()) {
        return; // only the zero-length text is empty; blanks go on to fail
    }
    const int32_t value = textToInt32(m_freq.text());
    m_host.receiver().setRxFrq(m_host.curRx(), 0, value);
}

void FrequencyEntry::deltaFValidate(bool& /*cancel*/) {
    if (m_deltaF.text().isEmpty()) {
        return;
    }
    const int32_t value = textToInt32(m_deltaF.text());
    m_host.receiver().setRxDeltaF(m_host.curRx(), value);
}

void FrequencyEntry::frqUpdated(int16_t index, int32_t freq, int32_t /*carr*/) {
    if (m_host.selectedReceiver() != index) {
        return;
    }
    // The event's own receiver is asked, not CurRx: they are the same here,
    // and this is the one question about the event's receiver.
    if (m_host.receiver().RxConnected(index) == 0) {
        return;
    }
    m_read.setText(numberText(freq));
}

} // namespace corvane::settings
