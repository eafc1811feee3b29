#pragma once

#include "component/api/ReceiverBackend.h"

#include <QStringList>

#include <map>

namespace corvane::component {

// Which backend drives a driver entry, by its "kind". The component starts
// with "sim"; other kinds (e.g. "hamlib", "rigctld") are added with add().
class BackendRegistry {
public:
    // A registry that knows the kinds built into the component.
    static BackendRegistry withBuiltins();

    void add(const QString& kind, BackendFactory factory);
    bool knows(const QString& kind) const { return m_factories.count(kind) != 0; }
    QStringList kinds() const;

    // Builds the backend for an entry. An entry that cannot be built (unknown
    // kind, unreadable profile...) gives a receiver that refuses every
    // operation with the reason, so the table keeps its place for it.
    std::unique_ptr<ReceiverBackend> create(const BackendContext& context) const;

private:
    std::map<QString, BackendFactory> m_factories;
};

} // namespace corvane::component
