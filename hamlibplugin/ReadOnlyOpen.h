#pragma once

#include <hamlib/rig.h>

namespace corvane::hamlibplugin {

// Hamlib 4.5.4 writes to a radio while opening it. Its Icom backends find out
// which VFO is in use by selecting one (07 00, 07 01) and, on an IC-7300 whose
// two VFOs show one frequency, by moving the radio 100 Hz and back (25 00); the
// generic open then reads VFO B and the mode of VFO A, which on a radio that
// cannot address a VFO directly means switching to it and back (Icom 07 01 /
// 07 00, Kenwood FR0; / FR1;). A listener recording a station hears every one
// of those, and a radio that is only monitored must never be changed.
//
// holdOpenToReads() keeps all of that off the line for one rig_open(): Hamlib
// skips VFO and frequency sets while it believes the operator is turning the
// dial ("twiddling"), and the reads that would switch VFOs are answered from
// Hamlib's cache, seeded for the open. releaseAfterOpen() hands the rig back
// for ordinary use: every read reaches the radio again, and a set under remote
// control goes through.
//
// What stays: a Kenwood radio whose auto information is on is switched to AI0
// by its backend's open (docs/hamlib.md).
void holdOpenToReads(RIG* rig);
void releaseAfterOpen(RIG* rig);

} // namespace corvane::hamlibplugin
