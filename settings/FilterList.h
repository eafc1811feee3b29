#pragma once

#include "controls/ListBox.h"
#include "settings/Host.h"

#include <cstdint>

namespace corvane::settings {

// The Filter list: one entry per filter of the current mode, its bandwidth in
// a six-character right-aligned field, " / ", its name. The entry's text is
// the only link to its filter: the bandwidth is read back from its start.
class FilterList {
public:
    FilterList(controls::ListBox& list, Host& host);

    // What the list shows for one filter.
    static QString entryText(int32_t bandwidth, const QString& name);

    // LoadFilterList: rebuilds the list and selects the first entry whose
    // bandwidth equals value; the selection runs Filter_Click.
    void load(int32_t value);
    // Filter_Click: sends the selected entry's bandwidth.
    void click();
    // Receiver_RxFltUpdated: reloads when index is the Driver list's selection.
    void updated(int16_t index, int32_t filt);

private:
    controls::ListBox& m_list;
    Host& m_host;
};

} // namespace corvane::settings
