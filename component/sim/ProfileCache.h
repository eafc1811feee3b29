#pragma once

#include "component/sim/Profile.h"

#include <QStringList>

#include <memory>

namespace corvane::component {

// Profiles read once however many drivers name them: receivers share one
// read-only copy, and a profile that cannot be used is read (and its reason
// worked out) once too. A file is read again only when it has changed (its
// identity, size or modification time). Profiles no receiver uses any more
// are freed.
//
// All profiles in use together may come from at most this many bytes of
// files; one more is refused with a message saying so.
inline constexpr qint64 maxProfileBytesInUse = 16 * 1024 * 1024;

// A profile and what a receiver described by it offers, made once from it:
// both live as long as either is used.
struct SharedProfile {
    std::shared_ptr<const Profile> profile;
    CapabilitiesPtr caps;
};

// Component's thread. The profile `reference` stands for (see loadProfile);
// throws RuntimeError naming the file and what is wrong with it.
SharedProfile sharedProfile(const QString& reference, const QString& baseDir);

// Component's thread. The files of the profiles read so far that are in use,
// as absolute paths (resources left out).
QStringList profileFilesInUse();

} // namespace corvane::component
