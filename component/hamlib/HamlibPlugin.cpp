// Finding and loading the Hamlib plugin, once per process.
#include "component/hamlib/HamlibPlugin.h"
#include "component/api/HamlibSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace corvane::component {

namespace {

constexpr char pluginFile[] = "libcorvane_hamlib.so";

QString executableDir() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

HamlibPlugin load() {
    QStringList failures;
    for (const QString& path : hamlibPluginCandidates()) {
        // RTLD_LOCAL: Hamlib's many symbols stay out of everyone else's way.
        void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            failures.append(QString::fromLocal8Bit(::dlerror()));
            continue;
        }
        // Never closed: backends and threads of the plugin may live until exit.
        auto make = reinterpret_cast<HamlibSupportFunction>(::dlsym(handle, hamlibSupportSymbol));
        if (make == nullptr) {
            failures.append(QString::fromLocal8Bit(::dlerror()));
            continue;
        }
        if (HamlibSupport* support = make()) {
            return {support, {}};
        }
        failures.append(QStringLiteral("%1: %2() gave no Hamlib support")
                            .arg(path, QLatin1String(hamlibSupportSymbol)));
    }
    return {nullptr, QStringLiteral("Hamlib support is not available: %1")
                         .arg(failures.join(QLatin1String("; ")))};
}

} // namespace

QStringList hamlibPluginCandidates() {
    return hamlibPluginCandidates(executableDir(), qEnvironmentVariable("CORVANE_PLUGIN_DIR"));
}

QStringList hamlibPluginCandidates(const QString& executableDir, const QString& override) {
    const QString name = QString::fromLatin1(pluginFile);
    if (!override.isEmpty()) {
        return {QDir(override).filePath(name)};
    }
    // Installed: bin/corvane-test and <libdir>/corvane-test/ under one prefix.
    const QString installed =
        QDir::cleanPath(QDir(executableDir).filePath(QStringLiteral(CORVANE_PLUGIN_FROM_BIN)));
    QStringList candidates{QDir(installed).filePath(name)};
    // This build's own plugin, only for a program of this build: an installed
    // program must never load code from wherever the build happened to be (a
    // folder under /tmp that anybody could make again).
    const QString buildRoot =
        QDir::cleanPath(QStringLiteral(CORVANE_BUILD_ROOT)) + QLatin1Char('/');
    if ((QDir::cleanPath(executableDir) + QLatin1Char('/')).startsWith(buildRoot)) {
        candidates.append(QDir(QStringLiteral(CORVANE_PLUGIN_BUILD_DIR)).filePath(name));
    }
    return candidates;
}

const HamlibPlugin& hamlibPlugin() {
    // Only ever called on the component's thread, but a static's guarded
    // initialisation costs nothing and keeps it right regardless.
    static const HamlibPlugin plugin = load();
    return plugin;
}

} // namespace corvane::component
