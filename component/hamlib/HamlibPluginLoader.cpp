// Finding and loading the Hamlib plugin, once per process.
#include "component/hamlib/HamlibPluginLoader.h"
#include "component/api/HamlibSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <optional>
#include <variant>

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::component {

namespace {

constexpr char pluginFile[] = "libcorvane_hamlib.so";

QString executableDir() {
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

// Why the file at `path`, or the folder it lies in, is not one to run code
// from: anyone but its owner (root or whoever runs the program) could have
// changed it. Nothing when it may be loaded.
std::optional<QString> untrusted(const QString& path) {
    struct stat file {};
    if (::stat(QFile::encodeName(path).constData(), &file) != 0) {
        // Worded as the dynamic loader would say it.
        return QStringLiteral("%1: cannot open shared object file: %2")
            .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!S_ISREG(file.st_mode)) {
        return QStringLiteral("%1: not a regular file").arg(path);
    }
    const uid_t me = ::geteuid();
    const auto ownedWell = [me](const struct stat& st) {
        return st.st_uid == 0 || st.st_uid == me;
    };
    // Group-writable is the rule under a umask of 002, where the group is
    // the user's own; any other group is somebody else.
    const auto writableByOthers = [](const struct stat& st) {
        return (st.st_mode & S_IWOTH) != 0 ||
               ((st.st_mode & S_IWGRP) != 0 && st.st_gid != 0 && st.st_gid != ::getegid());
    };
    if (!ownedWell(file)) {
        return QStringLiteral("%1: owned by user %2, neither root nor this program's user")
            .arg(path)
            .arg(file.st_uid);
    }
    if (writableByOthers(file)) {
        return QStringLiteral("%1: writable by others than its owner (mode %2)")
            .arg(path)
            .arg(file.st_mode & 07777, 4, 8, QLatin1Char('0'));
    }
    const QString folder = QFileInfo(QFileInfo(path).canonicalFilePath()).path();
    struct stat dir {};
    if (::stat(QFile::encodeName(folder).constData(), &dir) != 0) {
        return QStringLiteral("%1: cannot look at its folder").arg(path);
    }
    // In a sticky folder (/tmp) only the file's owner may replace it.
    if (!ownedWell(dir) || (writableByOthers(dir) && (dir.st_mode & S_ISVTX) == 0)) {
        return QStringLiteral("%1: its folder %2 may be changed by others than root or its owner")
            .arg(path, folder);
    }
    return std::nullopt;
}

// The plugin's entry point as a function of that very file; else why not.
// Looked at before it is called: calling data, or an entry some other
// library lent the plugin, would end the program.
std::variant<HamlibSupportFunction, QString> entryPoint(void* handle, const QString& path) {
    const QString symbol = QLatin1String(hamlibSupportSymbol);
    ::dlerror();
    void* address = ::dlsym(handle, hamlibSupportSymbol);
    if (address == nullptr) {
        const char* error = ::dlerror();
        return error != nullptr ? QString::fromLocal8Bit(error)
                                : QStringLiteral("%1: %2 is a null symbol").arg(path, symbol);
    }
    Dl_info info{};
    void* found = nullptr;
    link_map* plugin = nullptr;
    if (::dladdr1(address, &info, &found, RTLD_DL_SYMENT) == 0 || found == nullptr ||
        info.dli_saddr != address || ::dlinfo(handle, RTLD_DI_LINKMAP, &plugin) != 0) {
        return QStringLiteral("%1: %2 lies in no symbol of a loaded library").arg(path, symbol);
    }
    if (QByteArray(info.dli_fname) != QByteArray(plugin->l_name)) {
        return QStringLiteral("%1: %2 comes from %3, not from the plugin")
            .arg(path, symbol, QFile::decodeName(info.dli_fname));
    }
    // ELF32_ST_TYPE is the same.
    const unsigned type = ELF64_ST_TYPE(static_cast<const ElfW(Sym)*>(found)->st_info);
    if (type != STT_FUNC) {
        return QStringLiteral("%1: %2 is not a function (ELF symbol type %3)")
            .arg(path, symbol)
            .arg(type);
    }
    return reinterpret_cast<HamlibSupportFunction>(address);
}

// The plugin's HamlibSupport from one candidate file, or why not.
std::variant<HamlibSupport*, QString> loadOne(const QString& path) {
    if (std::optional<QString> why = untrusted(path)) {
        return *why;
    }
    // RTLD_LOCAL: Hamlib's many symbols stay out of everyone else's way.
    void* handle = ::dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        return QString::fromLocal8Bit(::dlerror());
    }
    // Never closed: backends and threads of the plugin may live until exit.
    auto make = entryPoint(handle, path);
    if (const QString* why = std::get_if<QString>(&make)) {
        return *why;
    }
    const QString called = QStringLiteral("%1: %2()").arg(path, QLatin1String(hamlibSupportSymbol));
    const HamlibPluginEntry* entry = std::get<HamlibSupportFunction>(make)();
    if (entry == nullptr) {
        return called + QStringLiteral(" gave nothing");
    }
    if (entry->magic != hamlibPluginMagic) {
        return called + QStringLiteral(" gave 0x%1, not a Corvane Hamlib plugin's mark")
                            .arg(entry->magic, 8, 16, QLatin1Char('0'));
    }
    if (entry->size != sizeof(HamlibPluginEntry)) {
        return called + QStringLiteral(" is of another build (entry of %1 bytes, not %2)")
                            .arg(entry->size)
                            .arg(sizeof(HamlibPluginEntry));
    }
    if (entry->support == nullptr) {
        return called + QStringLiteral(" gave no Hamlib support");
    }
    return entry->support;
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

HamlibPlugin loadHamlibPlugin(const QStringList& candidates) {
    QStringList failures;
    for (const QString& path : candidates) {
        auto loaded = loadOne(path);
        if (HamlibSupport** support = std::get_if<HamlibSupport*>(&loaded)) {
            return {*support, {}};
        }
        failures.append(std::get<QString>(loaded));
    }
    return {nullptr, QStringLiteral("Hamlib support is not available: %1")
                         .arg(failures.join(QLatin1String("; ")))};
}

const HamlibPlugin& hamlibPlugin() {
    // Only ever called on the component's thread, but a static's guarded
    // initialisation costs nothing and keeps it right regardless.
    static const HamlibPlugin plugin = loadHamlibPlugin(hamlibPluginCandidates());
    return plugin;
}

} // namespace corvane::component
