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
    Answer extended(int sub, const QByteArray& subData, const QByteArray& echo);
    // The mode (without data), the data byte and the filter number in use.
    QByteArray modeBytes() const;
    // `data` is the data byte (0 off, 1 on); `filter` the number, -1 for
    // the one the mode comes with.
    bool setMode(uint8_t code, int data, int filter);
    // Filter numbers the current mode has no filter for, below its first.
    int missingFilters() const;
    // The width of the filter in use as the index of 1A 03; -1 where the
    // mode's widths are fixed (FM).
    int widthIndex() const;

    QByteArray m_in;
};

} // namespace corvane::vradio
