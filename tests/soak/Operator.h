#pragma once

#include "controls/Handler.h"
#include "tests/support/Controls.h"
#include "window/Test.h"

#include <QStringList>

#include <cstdint>
#include <deque>
#include <map>
#include <random>
#include <utility>

namespace corvane::soak {

// Counts the run-time errors the window reports, by handler and number, and
// keeps the ones not yet looked at (takeRecent) so that a long run holds no
// growing list of its own.
class CountingReporter : public controls::ErrorReporter {
public:
    struct Report {
        QString handler;
        int32_t number;
        QString description;
    };
    void report(const QString& handler, const receiver::RuntimeError& error) override;

    uint64_t total() const { return m_total; }
    const Report& last() const { return m_recent.back(); }
    // How many reports came from `handler` so far.
    uint64_t countFrom(const QString& handler) const;
    // "Freq_Validate error 13" -> count, and one description of each.
    const std::map<QString, uint64_t>& byKind() const { return m_byKind; }
    const std::map<QString, QString>& examples() const { return m_examples; }
    // The reports since the last call, oldest first.
    std::deque<Report> takeRecent() { return std::exchange(m_recent, {}); }

private:
    uint64_t m_total = 0;
    std::deque<Report> m_recent;
    std::map<QString, uint64_t> m_byHandler;
    std::map<QString, uint64_t> m_byKind;
    std::map<QString, QString> m_examples;
};

// An operator with a seeded dice: picks receivers and setting entries with the
// mouse, clicks every button (Config Driver also with Shift and Ctrl+Shift) and
// the Coupling box, types numbers and garbage into Freq and DeltaF and leaves
// them with Tab, types stray keys, and lets the event loop run in between.
//
// Typed text that can be no number must be reported by the box's Validate,
// exactly once; anything else that goes wrong lands in `problems`.
class Operator {
public:
    Operator(window::Test& window, CountingReporter& reporter, uint64_t seed);

    void act();

    uint64_t actions() const { return m_actions; }
    uint64_t typedGarbage() const { return m_garbage; }
    const QStringList& problems() const { return m_problems; }

private:
    int pick(int below);
    bool chance(int percent);

    void pickListEntry(controls::ListBox& list);
    void clickButton();
    void clickCoupling();
    void typeInto(controls::TextBox& box);
    void strayKeys();
    void tab();
    void idle();

    window::Test& m_window;
    testsupport::Controls m_ui{m_window};
    CountingReporter& m_reporter;
    std::mt19937_64 m_dice;
    uint64_t m_actions = 0;
    uint64_t m_garbage = 0;
    QStringList m_problems;
};

} // namespace corvane::soak
