#pragma once

#include "vradio/Engine.h"

#include <optional>

namespace corvane::vradio {

// BCD helpers of CI-V, least significant byte first.
QByteArray toBcd(int64_t value, int bytes);
std::optional<int64_t> fromBcd(const QByteArray& bytes);

// An Icom radio on a CI-V bus.
class CivEngine final : public Engine {
public:
    CivEngine(Radio& radio, const RadioModel& model);
    Output feed(const QByteArray& bytes) override;

private:
    struct Answer {
        QByteArray bytes;
        bool write = false;
    };
    QByteArray handle(const QByteArray& body);
    Answer answer(uint8_t cmd, int sub, const QByteArray& data, const QByteArray& subData);
    Answer function(int sub, const QByteArray& subData, const QByteArray& echo);
    Answer rit(int sub, const QByteArray& subData, const QByteArray& echo);
    Answer selectedVfo(uint8_t cmd, int sub, const QByteArray& subData, const QByteArray& echo);
    static Answer refuse(bool write = false);
    static Answer done(bool accepted);
    QByteArray modeBytes() const;
    bool setMode(const QByteArray& data);

    QByteArray m_in;
};

} // namespace corvane::vradio
