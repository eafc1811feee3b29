#pragma once

// GoogleTest helpers of the Hamlib tests.

#include "tests/support/HamlibPeers.h"

#include <gtest/gtest.h>

namespace corvane::testsupport {

// Connects and waits for the link to come up and, the first time, for the
// first reading of the rig (later links report only what changed meanwhile).
inline void connectAndWait(HamlibBackend& rx, Recorder& sink, int ms = 5000, bool first = true) {
    const size_t from = sink.events.size();
    ASSERT_EQ(rx.connect(true), 0);
    const auto up = sink.await(Kind::ConnState, from, ms);
    ASSERT_TRUE(up.has_value()) << "no RxConnState after connecting";
    ASSERT_EQ(up->err(), 1000);
    ASSERT_TRUE(rx.connected());
    if (first) {
        ASSERT_TRUE(sink.await(Kind::Att, from, ms).has_value());
    }
}

} // namespace corvane::testsupport
