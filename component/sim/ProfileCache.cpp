#include "component/sim/ProfileCache.h"

#include "receiver/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

#include <map>
#include <tuple>

#include <sys/stat.h>

namespace corvane::component {

namespace {

// What tells one state of a file from another.
using Stamp = std::tuple<dev_t, ino_t, off_t, long, long>;

// A profile with its capabilities, in one allocation.
struct Both {
    Profile profile;
    Capabilities caps;
};

SharedProfile shared(const std::shared_ptr<const Both>& both) {
    return {{both, &both->profile}, {both, &both->caps}};
}

struct Entry {
    Stamp stamp;
    qint64 bytes = 0;
    std::weak_ptr<const Both> profile;
    QString problem; // why it cannot be used; empty when it can
};

// Keyed by the file's path with its links resolved (the resource path for a
// built-in), so that every way of naming one file finds one entry.
std::map<QString, Entry>& cache() {
    static std::map<QString, Entry> entries;
    return entries;
}

qint64 bytesInUse() {
    qint64 total = 0;
    for (const auto& [path, e] : cache()) {
        if (!e.profile.expired()) {
            total += e.bytes;
        }
    }
    return total;
}

} // namespace

SharedProfile sharedProfile(const QString& reference, const QString& baseDir) {
    const QString path = profilePath(reference, baseDir);
    const bool resource = path.startsWith(u':');
    QString key = path;
    Stamp stamp{};
    qint64 bytes = 0;
    if (!resource) {
        struct stat st {};
        if (::stat(QFile::encodeName(path).constData(), &st) == 0) {
            stamp = {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
            bytes = st.st_size;
            key = QFileInfo(path).canonicalFilePath();
        }
    }
    // Drop what nobody uses any more, so the map stays as small as the table.
    std::erase_if(cache(), [](const auto& kv) {
        return kv.second.profile.expired() && kv.second.problem.isEmpty();
    });
    auto found = cache().find(key);
    if (found != cache().end() && found->second.stamp == stamp) {
        if (!found->second.problem.isEmpty()) {
            throw receiver::RuntimeError::componentFailure(found->second.problem);
        }
        if (std::shared_ptr<const Both> p = found->second.profile.lock()) {
            return shared(p);
        }
    }
    Entry& e = cache()[key];
    e = Entry{stamp, bytes, {}, {}};
    const qint64 inUse = bytesInUse();
    if (inUse + bytes > maxProfileBytesInUse) {
        // No fault of the file, so not kept as its problem: asked again, it
        // may fit then.
        throw receiver::RuntimeError::componentFailure(
            QStringLiteral("profile %1: the profiles in use already come from %2 bytes of files; "
                           "with this one's %3 they would pass the %4 allowed")
                .arg(path)
                .arg(inUse)
                .arg(bytes)
                .arg(maxProfileBytesInUse));
    }
    try {
        Profile profile = loadProfile(reference, baseDir);
        Capabilities caps = capabilitiesOf(profile);
        auto both = std::make_shared<const Both>(Both{std::move(profile), std::move(caps)});
        e.profile = both;
        return shared(both);
    } catch (const receiver::RuntimeError& error) {
        e.problem = error.description();
        throw;
    }
}

QStringList profileFilesInUse() {
    QStringList out;
    for (const auto& [path, e] : cache()) {
        if (!path.startsWith(u':') && !e.profile.expired()) {
            out.append(path);
        }
    }
    return out;
}

} // namespace corvane::component
