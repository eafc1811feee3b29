// The driver table: loading it from the store, the two dialogs that edit it,
// and turning its entries into receivers.
#include "component/core/CorvaneComponent.h"

#include "component/dialog/DriverDialog.h"
#include "component/sim/Profile.h"
#include "component/sim/ProfileCache.h"
#include "receiver/RuntimeError.h"

#include <QFileInfo>

namespace corvane::component {

using receiver::RuntimeError;

namespace {

// What makes a receiver: a rename alone keeps the receiver (and its link).
QJsonObject identity(QJsonObject entry) {
    entry.remove(QStringLiteral("name"));
    return entry;
}

void checkApplication(const QString& application) {
    const bool usable = !application.isEmpty() && application != QLatin1String(".") &&
                        application != QLatin1String("..") && !application.contains(u'/') &&
                        !application.contains(u'\\');
    if (!usable) {
        throw RuntimeError::componentFailure(
            QStringLiteral("\"%1\" cannot name an application's driver table").arg(application));
    }
}

} // namespace

int32_t CorvaneComponent::setup(const QString& application, int16_t dialog) {
    checkApplication(application);
    m_store.emplace(DriverStore::pathFor(m_configHome, application));
    m_trace.protect(m_store->path(), QStringLiteral("the driver table"));
    DriverStore::Loaded loaded = m_store->load();
    m_storeProblem = loaded.problem;
    applyTable(loaded.table);
    // The trace is opened with its first line, after this: it must not be
    // any of the files just read, nor a line to a receiver.
    for (const QString& profile : profileFilesInUse()) {
        m_trace.protect(profile, QStringLiteral("a receiver's profile in use"));
    }
    for (const QJsonObject& entry : m_table.drivers) {
        const QJsonValue port = entry.value(QLatin1String("port"));
        if (port.isString() && !port.toString().trimmed().isEmpty()) {
            m_trace.protect(port.toString().trimmed(),
                            QStringLiteral("the serial port of driver \"%1\"")
                                .arg(entry.value(QLatin1String("name")).toString()));
        }
    }
    if (dialog == 0) {
        return 0;
    }
    DriverDialog editor(m_table, m_registry.kinds(), builtinProfiles(), m_storeProblem, false);
    if (showDialog(editor) != QDialog::Accepted) {
        return 1;
    }
    acceptEdited(editor.table());
    return 0;
}

int32_t CorvaneComponent::configure(int16_t index) {
    backendAt(index, "RxConfigure");
    DriverTable one;
    one.drivers.append(m_table.drivers.at(index));
    DriverDialog editor(one, m_registry.kinds(), builtinProfiles(), m_storeProblem, true);
    if (showDialog(editor) != QDialog::Accepted) {
        return 1;
    }
    DriverTable edited = m_table;
    edited.drivers[index] = editor.table().drivers.at(0);
    acceptEdited(edited);
    return 0;
}

int CorvaneComponent::showDialog(DriverDialog& dialog) {
    return m_runDialog ? m_runDialog(dialog) : dialog.exec();
}

void CorvaneComponent::acceptEdited(const DriverTable& edited) {
    if (!m_store) {
        throw RuntimeError::componentFailure(
            QStringLiteral("no driver table is set up yet; call DrvSetup first"));
    }
    const bool changed = !(edited == m_table);
    m_store->save(edited);
    m_storeProblem.clear();
    if (changed) {
        applyTable(edited);
        enqueue({0, ReceiverEvent::drvUpdated(static_cast<int32_t>(m_slots.size()))});
    } else {
        m_table = edited;
    }
}

void CorvaneComponent::applyTable(const DriverTable& table) {
    // Receivers whose entry is unchanged keep running (with their link and
    // state), wherever they moved; the others are built afresh. An entry still
    // at its old place keeps its own receiver even when another entry now
    // looks the same.
    std::vector<Slot> old = std::move(m_slots);
    m_slots.clear();
    m_table = table;
    const QString baseDir = m_store ? QFileInfo(m_store->path()).absolutePath() : QString();
    const qsizetype n = table.drivers.size();
    std::vector<std::optional<Slot>> kept(static_cast<size_t>(n));
    auto take = [&](qsizetype i, Slot& s) {
        s.entry = table.drivers.at(i);
        kept[static_cast<size_t>(i)] = std::move(s);
        s.backend = nullptr;
    };
    for (qsizetype i = 0; i < n && static_cast<size_t>(i) < old.size(); ++i) {
        Slot& s = old[static_cast<size_t>(i)];
        if (s.backend && identity(s.entry) == identity(table.drivers.at(i))) {
            take(i, s);
        }
    }
    for (qsizetype i = 0; i < n; ++i) {
        if (kept[static_cast<size_t>(i)]) {
            continue;
        }
        const QJsonObject want = identity(table.drivers.at(i));
        auto reuse = std::find_if(old.begin(), old.end(), [&](const Slot& s) {
            return s.backend && identity(s.entry) == want;
        });
        if (reuse != old.end()) {
            take(i, *reuse);
        }
    }
    for (qsizetype i = 0; i < n; ++i) {
        auto& slot = kept[static_cast<size_t>(i)];
        if (slot) {
            m_slots.push_back(std::move(*slot));
        } else {
            const QJsonObject& entry = table.drivers.at(i);
            m_slots.push_back(
                Slot{m_nextSlot++, entry, m_registry.create({entry, baseDir, *m_clock, *this})});
        }
    }
}

} // namespace corvane::component
