#include "settings/ChoiceList.h"

#include "receiver/Int16.h"

namespace corvane::settings {

using receiver::Component;

namespace {

QString trimSpaces(const QString& name) {
    // Spaces only: a tab or other white space is part of the name.
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && name.at(first) == u' ') {
        ++first;
    }
    while (last > first && name.at(last - 1) == u' ') {
        --last;
    }
    return name.mid(first, last - first);
}

} // namespace

// clang-format off
//                                   loader          click         updated
const ChoiceTraits kModeTraits{"LoadModeList", "Mode_Click", "Receiver_RxModUpdated",
    &Component::RxModCount, &Component::RxModAvail, &Component::RxModName,
    &Component::RxModCode, &Component::setRxMod,
    /*trimSpaces*/ false, /*minusOneStops*/ false, /*lastMatchWins*/ true,
    /*rebuildsFilterAndAgc*/ true, /*code16*/ false};
const ChoiceTraits kAgcTraits{"LoadAgcList", "Agc_Click", "Receiver_RxAgcUpdated",
    &Component::RxAgcCount, &Component::RxAgcAvail, &Component::RxAgcName,
    &Component::RxAgcCode, &Component::setRxAgc,
    true, true, false, false, true};
const ChoiceTraits kNBTraits{"LoadNBList", "NB_Click", "Receiver_RxNBlUpdated",
    &Component::RxNBlCount, &Component::RxNBlAvail, &Component::RxNBlName,
    &Component::RxNBlCode, &Component::setRxNBl,
    false, true, false, false, true};
const ChoiceTraits kAttTraits{"LoadAttList", "Att_Click", "Receiver_RxAttUpdated",
    &Component::RxAttCount, &Component::RxAttAvail, &Component::RxAttName,
    &Component::RxAttCode, &Component::setRxAtt,
    false, true, false, false, true};
// clang-format on

ChoiceList::ChoiceList(const ChoiceTraits& traits, controls::ListBox& list, Host& host)
    : m_traits(traits), m_list(list), m_host(host) {}

void ChoiceList::load(int32_t current) {
    Component& rx = m_host.receiver();
    m_list.clearList();
    m_list.setEnabled(true);

    // Fill: one item per available entry, in the component's order.
    const int16_t last = receiver::lastOf((rx.*m_traits.count)(m_host.curRx()));
    for (int32_t i = 0; i <= last; ++i) {
        if ((rx.*m_traits.avail)(m_host.curRx(), i) != 0) {
            const QString name = (rx.*m_traits.name)(m_host.curRx(), i);
            m_list.addListItem(m_traits.trimSpaces ? trimSpaces(name) : name);
        }
    }

    if (!(m_traits.minusOneStops && current == -1)) {
        // Select: positions up to the component's count, which may lie past the
        // items when entries were left out; those read as the empty text.
        const int16_t lastPos = receiver::lastOf((rx.*m_traits.count)(m_host.curRx()));
        for (int32_t j = 0; j <= lastPos; ++j) {
            const QString text = m_list.listText(j);
            if ((rx.*m_traits.code)(m_host.curRx(), text) == current) {
                m_list.setListIndex(j); // runs click() before it returns
                if (!m_traits.lastMatchWins) {
                    break;
                }
            }
        }
    }

    if (m_traits.rebuildsFilterAndAgc && m_rebuild) {
        m_rebuild();
    }
}

void ChoiceList::click() {
    Component& rx = m_host.receiver();
    const QString text = m_list.listText(m_list.listIndex());
    int32_t code = (rx.*m_traits.code)(m_host.curRx(), text);
    if (m_traits.code16) {
        code = receiver::toInt16(code);
    }
    (rx.*m_traits.set)(m_host.curRx(), code);
    if (m_traits.rebuildsFilterAndAgc && m_rebuild) {
        m_rebuild();
    }
}

bool ChoiceList::updated(int16_t index, int32_t code) {
    if (m_host.selectedReceiver() != index) {
        return false;
    }
    load(code);
    return true;
}

} // namespace corvane::settings
