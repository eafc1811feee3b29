#include "settings/FilterList.h"

#include "receiver/Int16.h"
#include "settings/NumberText.h"

namespace corvane::settings {

FilterList::FilterList(controls::ListBox& list, Host& host) : m_list(list), m_host(host) {}

QString FilterList::entryText(int32_t bandwidth, const QString& name) {
    return QStringLiteral("%1 / ").arg(numberText(bandwidth), 6) + name;
}

void FilterList::load(int32_t value) {
    receiver::Component& rx = m_host.receiver();
    m_list.clearList();
    m_list.setEnabled(true);

    const int16_t last = receiver::lastOf(rx.RxFltCount(m_host.curRx()));
    for (int32_t i = 0; i <= last; ++i) {
        const auto pos = static_cast<int16_t>(i);
        // The width is asked once for the field and again for the name: a
        // component is free to answer each call, and the field shows the first.
        const int32_t shown = rx.RxFltWidth(m_host.curRx(), pos);
        const int32_t width = rx.RxFltWidth(m_host.curRx(), pos);
        const int16_t width16 = receiver::toInt16(width, [&] {
            return QStringLiteral("receiver %1, filter %2: bandwidth %3")
                .arg(m_host.curRx())
                .arg(pos)
                .arg(width);
        });
        const QString name = rx.RxFltName(m_host.curRx(), width16);
        m_list.addListItem(entryText(shown, name));
    }

    const int16_t lastPos = receiver::lastOf(rx.RxFltCount(m_host.curRx()));
    const auto wanted = static_cast<double>(value);
    for (int32_t j = 0; j <= lastPos; ++j) {
        if (leadingNumber(m_list.listText(j)) == wanted) {
            m_list.setListIndex(j); // runs click() before it returns
            break;
        }
    }
}

void FilterList::click() {
    const int32_t bandwidth = roundToInt32(leadingNumber(m_list.listText(m_list.listIndex())));
    m_host.receiver().setRxFlt(m_host.curRx(), bandwidth);
}

void FilterList::updated(int16_t index, int32_t filt) {
    if (m_host.selectedReceiver() != index) {
        return;
    }
    load(filt);
}

} // namespace corvane::settings
