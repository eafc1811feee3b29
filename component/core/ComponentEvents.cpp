// Events: backends report into one queue; the queue is emptied from the event
// loop, where each event is traced and emitted. Forwarding between receivers
// happens when a change is reported, so the receivers that take it queue their
// own events behind it.
#include "component/core/CorvaneComponent.h"

#include "receiver/Saturate.h"

#include <QPointer>

namespace corvane::component {

namespace {

using Kind = ReceiverEvent::Kind;
using receiver::saturate;

} // namespace

void CorvaneComponent::report(ReceiverBackend& from, ReceiverEvent event) {
    uint64_t id = 0;
    for (const Slot& s : m_slots) {
        if (s.backend.get() == &from) {
            id = s.id;
        }
    }
    if (id == 0) {
        return; // a backend being built or torn down
    }
    if (m_forward != 0 && event.origin != Origin::Forwarded) {
        forward(from, event);
    }
    enqueue({id, std::move(event)});
}

void CorvaneComponent::enqueue(Pending pending) {
    m_queue.push_back(std::move(pending));
    if (!m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &CorvaneComponent::deliver, Qt::QueuedConnection);
    }
}

void CorvaneComponent::deliver() {
    m_deliveryPosted = false;
    // Only what was queued before this pass: events raised by the handlers come
    // in a later pass, so the event loop keeps turning.
    size_t due = m_queue.size();
    QPointer<CorvaneComponent> self(this);
    while (due-- > 0 && !m_queue.empty()) {
        const Pending p = std::move(m_queue.front());
        m_queue.pop_front();
        if (p.event.kind == Kind::DrvUpdated) {
            if (m_trace.on()) {
                m_trace.event("DrvUpdated", {p.event.count()});
            }
            emit DrvUpdated(p.event.count());
        } else {
            // The index at delivery: the table may have been edited since.
            int16_t index = -1;
            for (size_t i = 0; i < m_slots.size(); ++i) {
                if (m_slots[i].id == p.slot) {
                    index = static_cast<int16_t>(i);
                }
            }
            if (index < 0) {
                continue; // its receiver has left the table
            }
            emitEvent(index, p.event);
        }
        if (!self) {
            return; // a handler destroyed the component
        }
    }
    if (!m_queue.empty() && !m_deliveryPosted) {
        m_deliveryPosted = true;
        QMetaObject::invokeMethod(this, &CorvaneComponent::deliver, Qt::QueuedConnection);
    }
}

void CorvaneComponent::emitEvent(int16_t i, const ReceiverEvent& e) {
    const bool trace = m_trace.on();
    switch (e.kind) {
    case Kind::DrvUpdated:
        break; // the component's own, delivered in deliver()
    case Kind::ConnState:
        if (trace) {
            m_trace.event("RxConnState", {i, e.err()});
        }
        emit RxConnState(i, e.err());
        break;
    case Kind::DataError:
        if (trace) {
            m_trace.event("RxDataError", {i, e.err()});
        }
        emit RxDataError(i, e.err());
        break;
    case Kind::Frq:
        if (trace) {
            m_trace.event("RxFrqUpdated", {i, e.freq(), e.carrier()});
        }
        emit RxFrqUpdated(i, e.freq(), e.carrier());
        break;
    case Kind::Mod:
        if (trace) {
            m_trace.event("RxModUpdated", {i, e.code(), e.bfo()});
        }
        emit RxModUpdated(i, e.code(), e.bfo());
        break;
    case Kind::Flt:
        if (trace) {
            m_trace.event("RxFltUpdated", {i, e.width()});
        }
        emit RxFltUpdated(i, e.width());
        break;
    case Kind::Agc:
    case Kind::NBl:
    case Kind::Att: {
        const int16_t level = saturate<int16_t>(e.level());
        if (trace) {
            m_trace.event(e.kind == Kind::Agc   ? "RxAgcUpdated"
                          : e.kind == Kind::NBl ? "RxNBlUpdated"
                                                : "RxAttUpdated",
                          {i, e.code(), level});
        }
        if (e.kind == Kind::Agc) {
            emit RxAgcUpdated(i, e.code(), level);
        } else if (e.kind == Kind::NBl) {
            emit RxNBlUpdated(i, e.code(), level);
        } else {
            emit RxAttUpdated(i, e.code(), level);
        }
        break;
    }
    case Kind::HFF:
        if (trace) {
            m_trace.event("RxHFFUpdated", {i, e.sts()});
        }
        emit RxHFFUpdated(i, e.sts());
        break;
    case Kind::SMt: {
        const int16_t val = saturate<int16_t>(e.dBm());
        const int16_t dB = saturate<int16_t>(e.overS9());
        if (trace) {
            m_trace.event("RxSMtUpdated", {i, e.freq(), val, dB, e.text()});
        }
        emit RxSMtUpdated(i, e.freq(), val, dB, e.text());
        break;
    }
    }
}

void CorvaneComponent::forward(const ReceiverBackend& from, const ReceiverEvent& e) {
    const std::optional<Setting> setting = ReceiverEvent::settingOf(e.kind);
    if (e.kind != Kind::Frq && e.kind != Kind::Flt && !setting) {
        return; // not a setting: link states and readings stay with their receiver
    }
    // Settings travel by name: the same code may mean something else elsewhere.
    QString name;
    if (setting) {
        const CapabilitiesPtr caps = from.capabilities();
        const int32_t at = caps->indexOf(*setting, e.code());
        if (at < 0) {
            return;
        }
        name = caps->name(*setting, at);
    }
    for (Slot& slot : m_slots) {
        ReceiverBackend& to = *slot.backend;
        // Receivers merely monitored are never written.
        if (&to == &from || !to.connected() || !to.remote()) {
            continue;
        }
        if (e.kind == Kind::Frq) {
            if (e.freq() >= to.frqMin() && e.freq() <= to.frqMax()) {
                to.setFrequency(e.freq(), Origin::Forwarded);
            }
        } else if (e.kind == Kind::Flt) {
            for (int32_t i = 0; i < to.filterCount(); ++i) {
                if (to.filterWidth(i) == e.width()) {
                    to.setFilter(e.width(), Origin::Forwarded);
                    break;
                }
            }
        } else {
            for (int32_t i = 0; i < to.count(*setting); ++i) {
                if (to.name(*setting, i) == name) {
                    if (to.available(*setting, i)) {
                        to.set(*setting, to.codeAt(*setting, i), Origin::Forwarded);
                    }
                    break;
                }
            }
        }
    }
}

} // namespace corvane::component
