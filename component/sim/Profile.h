#pragma once

#include "component/api/Capabilities.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace corvane::component {

// The description of one simulated receiver. Values are taken as they stand:
// duplicate codes, blank names, negative frequencies or initial codes that no
// entry has are all legal, so that a profile can imitate odd receivers.
struct Profile {
    // The tables are the receiver's Capabilities with what only a simulation
    // needs beside them.
    struct Choice : Capabilities::Choice {
        int32_t dB = 0; // attenuation of an attenuator entry, subtracted from the S-meter
    };
    using Filter = Capabilities::Filter;
    struct Mode : Capabilities::Mode {
        int32_t bfo = 0;
    };
    struct Station {
        int32_t freq = 0;
        int32_t width = 0;
        int32_t level = 0; // dBm at the antenna
    };

    QString romId;
    int32_t frqMin = 0;
    int32_t frqMax = 0;
    std::vector<Mode> modes;
    std::vector<Choice> agc;
    std::vector<Choice> nb;
    std::vector<Choice> att;

    struct Initial {
        int32_t freq = 0;
        int32_t mode = -1;
        int32_t filter = 0;
        int32_t agc = -1;
        int32_t nb = -1;
        int32_t att = -1;
        int32_t deltaF = 0;
        bool connected = false;
        bool remote = false;
    } initial;

    struct Behaviour {
        int32_t connectDelayMs = 300;
        int32_t smeterIntervalMs = 200;
        std::vector<Station> stations;
    } behaviour;

    struct Faults {
        int32_t dropAfterMs = 0; // 0 = never
        int32_t dropErr = -1;
        int32_t dataErrorEveryMs = 0; // 0 = never
        int32_t dataErr = 1;
        QStringList failOps;
    } faults;
};

// What a receiver described by `profile` offers.
Capabilities capabilitiesOf(const Profile& profile);

// Names of the profiles compiled into the component ("hf", "vhf", "bc"); a
// driver entry names them as "builtin:<name>".
QStringList builtinProfiles();

// Reads a profile from JSON text; `source` names it in error messages. Throws
// RuntimeError (component failure) naming the source and the offending field,
// also for a text or list longer than allowed (docs/profiles.md, "Limits").
Profile parseProfile(const QByteArray& json, const QString& source);

// The file a profile reference stands for: a resource for "builtin:<name>",
// else the path, a relative one taken from `baseDir`. Throws RuntimeError for
// an unknown built-in name or an empty reference.
QString profilePath(const QString& reference, const QString& baseDir);

// Loads "builtin:<name>" from the resources or a file (a relative path is
// taken from `baseDir`). Throws RuntimeError naming the file on any problem.
Profile loadProfile(const QString& reference, const QString& baseDir);

} // namespace corvane::component
