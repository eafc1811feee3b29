#pragma once

#include "vradio/Engine.h"

#include <map>

namespace corvane::vradio {

// A Kenwood radio speaking its text CAT protocol.
class KenwoodEngine final : public Engine {
public:
    using Engine::Engine;
    Output feed(const QByteArray& bytes) override;
    QByteArray announce() override;

private:
    struct Answer {
        QByteArray text; // without the ";"; null: no answer
        bool write = false;
    };
    QByteArray handle(const QByteArray& command);
    Answer answer(const QByteArray& cmd, const QByteArray& p);
    Answer agc(const QByteArray& p);
    bool numberedAgc() const;
    Answer rit(const QByteArray& cmd, const QByteArray& p);
    Answer filter(const QByteArray& cmd, const QByteArray& p);
    bool setWidth(int32_t width);
    static Answer set(bool accepted);
    QByteArray modeDigit() const;
    QByteArray information() const;
    int smeterLevel(int overS9) const;

    QByteArray m_in;
    bool m_autoInformation = false;
    std::map<int, int> m_lowCut; // SL position per mode
};

} // namespace corvane::vradio
