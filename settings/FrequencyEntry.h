#pragma once

#include "settings/Host.h"

#include <QLabel>
#include <QLineEdit>

#include <cstdint>

namespace corvane::settings {

// The frequency and delta-F boxes and the Read label. What the operator typed
// is sent when the focus leaves a box; the boxes are never written by code.
class FrequencyEntry {
public:
    FrequencyEntry(QLineEdit& freq, QLineEdit& deltaF, QLabel& read, Host& host);

    // Freq_Validate: an empty box sends nothing; anything else is converted
    // and sent, every time, even unchanged. Cancel is left as it came.
    void freqValidate(bool& cancel);
    // DeltaF_Validate: the same for delta-F.
    void deltaFValidate(bool& cancel);
    // Receiver_RxFrqUpdated: shows the frequency of the selected receiver
    // while it is connected.
    void frqUpdated(int16_t index, int32_t freq, int32_t carr);

private:
    QLineEdit& m_freq;
    QLineEdit& m_deltaF;
    QLabel& m_read;
    Host& m_host;
};

} // namespace corvane::settings
