#pragma once

#include "hamlibplugin/ModelDialect.h"

#include <QByteArray>

#include <array>
#include <map>
#include <optional>
#include <vector>

namespace corvane::hamlibplugin {

// The IC-R75 and IC-7300 in their own CI-V commands where Hamlib 4.5.4 gets
// them wrong or slow:
//
// - Mode and filter. Both radios choose a filter by its number in the mode
//   command (06 mm ff; the IC-7300's 26 00 mm dd ff, which also carries the
//   data byte). Hamlib numbers the IC-7300's filter FIL1 whatever it is asked
//   (even for "no change") and follows it with 1A 03, which reprograms the
//   width stored in that filter. Here a filter is chosen by its number
//   alone, 1A 03 is only ever read, and a mode change keeps the radio's
//   filter number.
// - The frequency: Hamlib's Icom set reads the frequency first and sleeps
//   50 ms after the set; here it is one 05 and its answer.
//
// AGC, noise blanker and attenuator stay Hamlib's: it sets and reads them
// right (the IC-R75's AGC under Hamlib's names for the codes it writes).
//
// The IC-7300's filters have widths the operator stores; the radio tells
// only the width of the one in use (1A 03). Its three filters per mode start
// at the factory widths and take each width the radio reports as it comes
// into use, and a changed table goes out through changedTables().
class IcomDialect final : public ModelDialect {
public:
    explicit IcomDialect(rig_model_t model);

    void correctTables(RigTables& tables) override;
    // Mode and Filter; Freq for the write only (the read is Hamlib's).
    bool covers(WriteKind kind) const override;
    int read(RIG* rig, const RigTables& tables, WriteKind kind, RigState& state) override;
    int write(RIG* rig, const RigTables& tables, WriteKind kind, const Write& w,
              const RigState& state) override;
    std::optional<RigTables> changedTables() override;

    // A mode as CI-V names it: the mode byte and the data byte.
    struct CivMode {
        uint8_t code = 0;
        uint8_t data = 0;
        bool operator<(const CivMode& o) const {
            return code != o.code ? code < o.code : data < o.data;
        }
    };
    // Widths of filters 01, 02, 03; 0 where the mode has no such filter.
    using Widths = std::array<int32_t, 3>;

private:
    // Sends one command (the bytes between the addresses and FD) and reads
    // the radio's answer past the bus's echo of it: into `answer` for a read
    // (the command's bytes and its data), FB for a write (null `answer`).
    // -RIG_ERJCTED for NG, another Hamlib error for anything else.
    int exchange(RIG* rig, const QByteArray& command, QByteArray* answer);
    int writeMode(RIG* rig, CivMode mode, int filter);
    const CivMode* civModeOf(int32_t code) const;
    // The filter number with that width in the mode with program code
    // `code`; 0 when none has it.
    int filterNumber(int32_t code, int32_t width) const;
    void rebuildFilters(RigTables& tables) const;

    rig_model_t m_model;
    bool m_ic7300;
    int m_address = -1; // the radio's CI-V address, asked of Hamlib once
    // CI-V mode of each program mode code, in its order.
    std::vector<std::optional<CivMode>> m_modes;
    std::map<CivMode, Widths> m_widths;
    int m_filter = 0; // the radio's filter number as last read; 0 before
    // The mode and filter bytes of a mode command the radio has just taken,
    // which the read that follows it takes instead of asking again.
    QByteArray m_taken;
    RigTables m_tables;
    bool m_changed = false;
};

} // namespace corvane::hamlibplugin
