// Forwarding of changes between receivers, and the trace of a session.
#include "tests/support/ComponentFixture.h"

#include "receiver/Component.h"
#include "receiver/RuntimeError.h"

#include <gtest/gtest.h>

using namespace corvane::component;
using namespace corvane::testsupport;
using corvane::receiver::RuntimeError;

namespace {

// The same receiver, but USB under another code with its narrow filter first,
// and a higher lower limit.
QJsonObject otherMaker() {
    QJsonObject p = smallProfile();
    QJsonArray modes = p["modes"].toArray();
    QJsonObject usb = modes[1].toObject();
    usb["code"] = 30;
    usb["filters"] = QJsonArray{QJsonObject{{"width", 1800}, {"name", "Nar"}},
                                QJsonObject{{"width", 2400}, {"name", "SSB"}}};
    modes[1] = usb;
    p["modes"] = modes;
    p["frqMin"] = 1000000;
    return p;
}

} // namespace

TEST(ComponentForward, ChangesReachControlledReceiversByNameWithoutEcho) {
    Rig rig;
    rig.setUp({smallProfile(), smallProfile(), otherMaker(), smallProfile()});
    auto& c = *rig.component;
    for (int16_t i : {0, 1, 2}) {
        rig.takeControl(i);
    }
    c.RxConnect(3, -1); // monitored only: connected, not under control
    rig.advance(1000);
    rig.deliver();

    EXPECT_EQ(c.drvForward(), 0);
    corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(1));
    EXPECT_EQ(c.property("DrvForward").value<qint16>(), 1);

    // The events of one pass, in no particular order between receivers.
    EventLog log(c);
    auto events = [&log] {
        QStringList all = log.take();
        all.sort();
        return all;
    };
    c.setRxMod(0, 3); // USB
    EXPECT_EQ(log.take(), QStringList{});
    rig.deliver();
    rig.deliver(); // a second pass must find nothing more: no echo
    // Receiver 2 took the same mode by name, with its own first filter, then
    // receiver 0's 2400 Hz; its 1800 Hz never came back to the others.
    // Receiver 3 (not under control) is never written.
    EXPECT_EQ(c.RxFlt(2), 2400);
    EXPECT_EQ(events(), QStringList({"RxFltUpdated(0, 2400)", "RxFltUpdated(1, 2400)",
                                     "RxFltUpdated(2, 1800)", "RxFltUpdated(2, 2400)",
                                     "RxModUpdated(0, 3, -1500)", "RxModUpdated(1, 3, -1500)",
                                     "RxModUpdated(2, 30, -1500)"}));

    // Filter by width, AGC by name; the mode change to CW changes both by itself.
    c.setRxMod(1, 4);
    rig.deliver();
    EXPECT_EQ(events(),
              QStringList({"RxAgcUpdated(0, 0, 0)", "RxAgcUpdated(1, 0, 0)",
                           "RxAgcUpdated(2, 0, 0)", "RxFltUpdated(0, 500)", "RxFltUpdated(1, 500)",
                           "RxFltUpdated(2, 500)", "RxModUpdated(0, 4, -700)",
                           "RxModUpdated(1, 4, -700)", "RxModUpdated(2, 4, -700)"}));

    // A frequency only where it is within the limits.
    c.setRxFrq(0, 0, 500000);
    rig.deliver();
    EXPECT_EQ(events(),
              QStringList({"RxFrqUpdated(0, 500000, 500000)", "RxFrqUpdated(1, 500000, 500000)"}));

    // Forwarding off: a change stays where it is made.
    corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(0));
    c.setRxNBl(0, 1);
    c.setRxAtt(0, 20);
    rig.deliver();
    EXPECT_EQ(events(), QStringList({"RxAttUpdated(0, 20, 1)", "RxNBlUpdated(0, 1, 1)"}));

    // Any nonzero value forwards and reads back as written.
    c.setDrvForward(2);
    EXPECT_EQ(c.property("DrvForward").value<qint16>(), 2);
    c.setRxNBl(1, 1);
    rig.deliver();
    EXPECT_EQ(events(), QStringList({"RxNBlUpdated(1, 1, 1)", "RxNBlUpdated(2, 1, 1)"}));
}

TEST(ComponentTrace, RecordedSessionHasTheDocumentedLines) {
    QTemporaryDir traceDir;
    const QString path = traceDir.filePath("trace.txt");
    {
        Rig rig(path);
        auto& c = *rig.component;
        c.DrvSetup("Test", 0);
        c.DrvCount();
        c.DrvName(0);
        c.RxModCode(0, "USB");
        corvane::receiver::setPropertyByName(c, "DrvForward", QVariant::fromValue<int16_t>(1));
        c.RxConnect(0, -1);
        rig.advance(300);
        rig.deliver();
        c.RxRemote(0, -1);
        rig.deliver();
        c.setRxMod(0, 3);
        rig.deliver();
        EXPECT_THROW(c.RxRomId(5), RuntimeError);
        EXPECT_THROW(c.setRxMod(5, 3), RuntimeError);
        c.RxModCode(0, "a\"b\\\n");
        c.setRxFrq(0, 0, 7100000);
        c.RxConnected(0);
        rig.deliver();
    }
    const QStringList lines = QString::fromUtf8(readAll(path)).split('\n', Qt::SkipEmptyParts);
    const QStringList expected{
        R"(call DrvSetup("Test", 0) -> 0)",
        R"(call DrvCount() -> 4)",
        R"(call DrvName(0) -> "HF")",
        R"(call RxModCode(0, "USB") -> 3)",
        R"(call DrvForward <- 1)",
        R"(call RxConnect(0, -1) -> 0)",
        R"(event RxConnState(0, 1000))",
        R"(call RxRemote(0, -1) -> 0)",
        R"(event RxConnState(0, 1000))",
        R"(call RxMod(0) <- 3)",
        R"(event RxModUpdated(0, 3, -1500))",
        R"(call RxRomId(5) !! receiver 5 does not exist (4 in the table))",
        R"(call RxMod(5) <- 3 !! receiver 5 does not exist (4 in the table))",
        R"(call RxModCode(0, "a\"b\\\x0a") -> -1)",
        R"(call RxFrq(0, 0) <- 7100000)",
        R"(call RxConnected(0) -> -1)",
        R"(event RxFrqUpdated(0, 7100000, 7100000))",
    };
    EXPECT_EQ(lines, expected);
}
