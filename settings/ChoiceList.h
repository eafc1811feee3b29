#pragma once

#include "controls/ListBox.h"
#include "settings/Host.h"

#include <cstdint>
#include <functional>

namespace corvane::settings {

// How one of the four choice lists (Mode, AGC, NB, ATT) differs from the
// others. The loader, the Click handler and the change-event handler are one
// algorithm (ChoiceList) driven by this table.
struct ChoiceTraits {
    using Component = receiver::Component;

    const char* loader;  // "LoadModeList": names the procedure in error reports
    const char* click;   // "Mode_Click"
    const char* updated; // "Receiver_RxModUpdated"

    int16_t (Component::*count)(int16_t);
    int32_t (Component::*avail)(int16_t, int32_t);
    QString (Component::*name)(int16_t, int32_t);
    int32_t (Component::*code)(int16_t, const QString&);
    void (Component::*set)(int16_t, int32_t);

    bool trimSpaces;           // AGC names lose their surrounding spaces
    bool minusOneStops;        // a current code of -1 leaves the list unselected
    bool lastMatchWins;        // Mode reads every position; the others stop at the first
    bool rebuildsFilterAndAgc; // Mode: its load and its Click rebuild Filter, then AGC
    bool code16;               // AGC, NB, ATT hold the clicked code in 16 bits
};

extern const ChoiceTraits kModeTraits;
extern const ChoiceTraits kAgcTraits;
extern const ChoiceTraits kNBTraits;
extern const ChoiceTraits kAttTraits;

class ChoiceList {
public:
    ChoiceList(const ChoiceTraits& traits, controls::ListBox& list, Host& host);

    // Mode only: what "rebuild the Filter and AGC lists" means to the window.
    void setRebuildDependents(std::function<void()> rebuild) { m_rebuild = std::move(rebuild); }

    const ChoiceTraits& traits() const { return m_traits; }

    // Rebuilds the list from the component and selects the entry whose code is
    // current; the selection runs Click, which writes the value back.
    void load(int32_t current);
    // The list's Click: sends the selected entry's code to the receiver.
    void click();
    // The change event: reloads when index is the Driver list's selection.
    // Returns whether it did.
    bool updated(int16_t index, int32_t code);

private:
    const ChoiceTraits& m_traits;
    controls::ListBox& m_list;
    Host& m_host;
    std::function<void()> m_rebuild;
};

} // namespace corvane::settings
