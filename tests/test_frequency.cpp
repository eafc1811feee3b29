// Typed frequency and delta-F, the frequency readout and the S-meter text,
// driven through real focus changes and component events.
#include "tests/support/ShownWindow.h"

#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

#include <limits>

using namespace corvane;
using testsupport::RecordingComponent;
using testsupport::ShownWindow;
using testsupport::windowState;

namespace {

// Receiver 1 selected and under remote control, so that the lists take part
// in the tab order as the operator sees it.
struct Remote : ShownWindow<> {
    Remote() : ShownWindow<>(1, -1, -1) {}
};

// The calls other than the per-character forwarding of typed keys.
QStringList sent(const RecordingComponent& fake) {
    QStringList out;
    for (const QString& call : fake.calls) {
        if (!call.startsWith(QStringLiteral("RxKeyPress"))) {
            out.append(call);
        }
    }
    return out;
}

// Moves the focus into the box and out of it again with Tab.
void leave(controls::TextBox* box) {
    box->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(box, Qt::Key_Tab);
}

class DefaultLocale {
public:
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(m_saved); }
    DefaultLocale(const DefaultLocale&) = delete;
    DefaultLocale& operator=(const DefaultLocale&) = delete;

private:
    QLocale m_saved;
};

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

} // namespace

TEST(FreqEntry, TabGoesToModeAndSendsTheTypedValueOnceEachTimeTheFocusLeaves) {
    Remote t;
    ASSERT_TRUE(t.activated);
    t.window.Freq->setFocus();
    QTest::keyClicks(t.window.Freq, QStringLiteral("14200"));
    EXPECT_EQ(sent(*t.fake), QStringList{}); // typing alone sends no value
    QTest::keyClick(t.window.Freq, Qt::Key_Tab);
    EXPECT_TRUE(t.window.Mode->hasFocus()) << qPrintable(QApplication::focusWidget()->objectName());
    EXPECT_EQ(sent(*t.fake), QStringList{"RxFrq(1, 0) <- 14200"});

    // Back without editing and away again: the same value goes again.
    QTest::keyClick(t.window.Mode, Qt::Key_Backtab);
    ASSERT_TRUE(t.window.Freq->hasFocus());
    QTest::keyClick(t.window.Freq, Qt::Key_Tab);
    EXPECT_EQ(sent(*t.fake), (QStringList{"RxFrq(1, 0) <- 14200", "RxFrq(1, 0) <- 14200"}));

    // DeltaF the same way, and Read and the box texts are not touched by sending.
    t.fake->clearCalls();
    t.window.DeltaF->setFocus();
    QTest::keyClick(t.window.DeltaF, Qt::Key_End);
    QTest::keyClicks(t.window.DeltaF, QStringLiteral("5"));
    QTest::keyClick(t.window.DeltaF, Qt::Key_Tab);
    EXPECT_TRUE(t.window.Coupling->hasFocus());
    EXPECT_EQ(sent(*t.fake), QStringList{"RxDeltaF(1) <- 5"});
    EXPECT_EQ(t.window.Freq->text(), "14200");
    EXPECT_EQ(t.window.DeltaF->text(), "05");
    EXPECT_EQ(t.window.Read->text(), "145500000");
    EXPECT_TRUE(t.reporter.reports.isEmpty()) << t.reporter.reports.join('\n').toStdString();
}

TEST(FreqEntry, AnotherWindowTakingActivationSendsNothingUntilTheFocusMovesOn) {
    Remote t;
    ASSERT_TRUE(t.activated);
    t.window.Freq->setFocus();
    QTest::keyClicks(t.window.Freq, QStringLiteral("705"));
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(sent(*t.fake), QStringList{});

    t.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    ASSERT_TRUE(t.window.Freq->hasFocus());
    EXPECT_EQ(sent(*t.fake), QStringList{});
    QTest::keyClick(t.window.Freq, Qt::Key_Tab);
    EXPECT_EQ(sent(*t.fake), QStringList{"RxFrq(1, 0) <- 705"});
}

TEST(FreqEntry, EmptyBoxesSendNothingAndRaiseNothing) {
    Remote t;
    t.window.Freq->clear();
    t.window.DeltaF->clear();
    leave(t.window.Freq);
    leave(t.window.DeltaF);
    EXPECT_TRUE(t.fake->calls.isEmpty()) << t.fake->calls.join(", ").toStdString();
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

TEST(FreqEntry, ValuesAreReadInTheUsersLocaleAndRoundedHalfToEven) {
    struct Case {
        const QLocale* locale;
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {&kEnglish, "  705  ", 705},
        {&kEnglish, "2.5", 2},
        {&kEnglish, "3.5", 4},
        {&kEnglish, "2.4", 2},
        {&kEnglish, "-2.5", -2},
        {&kEnglish, "0.5", 0},
        {&kEnglish, "1,234,567", 1234567},
        {&kEnglish, "2147483647", 2147483647},
        {&kEnglish, "-2147483648", std::numeric_limits<int32_t>::min()},
        {&kGerman, "2,5", 2},
        {&kGerman, "3,5", 4},
        {&kGerman, "2,4", 2},
        {&kGerman, "-3,5", -4},
        {&kGerman, "1.234.567", 1234567},
        {&kGerman, " 705 ", 705},
    };
    Remote t;
    for (const Case& c : cases) {
        const DefaultLocale locale(*c.locale);
        const QString text = QString::fromLatin1(c.text);
        const QString where = c.locale->name() + QStringLiteral(" \"") + text + '"';
        t.fake->clearCalls();
        t.window.Freq->setText(text);
        t.window.DeltaF->setText(text);
        leave(t.window.Freq);
        leave(t.window.DeltaF);
        EXPECT_EQ(t.fake->calls, (QStringList{QStringLiteral("RxFrq(1, 0) <- %1").arg(c.value),
                                              QStringLiteral("RxDeltaF(1) <- %1").arg(c.value)}))
            << qPrintable(where);
        EXPECT_EQ(t.window.Freq->text(), text);
        EXPECT_TRUE(t.reporter.reports.isEmpty())
            << qPrintable(where) << t.reporter.reports.join('\n').toStdString();
    }
}

TEST(FreqEntry, TextThatIsNoNumberOrDoesNotFit32BitsIsReportedAndSendsNothing) {
    struct Case {
        const char* text;
        int number;
    };
    const Case cases[] = {
        {"abc", 13}, {"   ", 13}, {"12abc", 13},     {"-", 13},          {"+", 13},
        {".", 13},   {",", 13},   {"2147483648", 6}, {"-2147483649", 6}, {"99999999999", 6},
    };
    struct Box {
        controls::TextBox* window::Test::*box;
        const char* handler;
        const char* good;
    };
    const Box boxes[] = {{&window::Test::Freq, "Freq_Validate", "RxFrq(1, 0) <- 42"},
                         {&window::Test::DeltaF, "DeltaF_Validate", "RxDeltaF(1) <- 42"}};
    Remote t;
    for (const QLocale* loc : {&kEnglish, &kGerman}) {
        const DefaultLocale locale(*loc);
        for (const Box& b : boxes) {
            controls::TextBox* box = t.window.*b.box;
            for (const Case& c : cases) {
                const QString text = QString::fromLatin1(c.text);
                const std::string where =
                    loc->name().toStdString() + " " + b.handler + " \"" + c.text + '"';
                t.fake->clearCalls();
                t.reporter.reports.clear();
                box->setText(text);
                leave(box);
                EXPECT_TRUE(t.fake->calls.isEmpty()) << where;
                ASSERT_EQ(t.reporter.reports.size(), 1) << where;
                const QString prefix = QStringLiteral("%1: Run-time error %2: %3")
                                           .arg(QString::fromLatin1(b.handler))
                                           .arg(c.number)
                                           .arg(c.number == 6 ? "Overflow" : "Type mismatch");
                EXPECT_TRUE(t.reporter.reports.first().startsWith(prefix))
                    << where << ": " << t.reporter.reports.first().toStdString();
                EXPECT_EQ(box->text(), text) << where;

                box->setText(QStringLiteral("42"));
                leave(box);
                EXPECT_EQ(t.fake->calls, QStringList{QString::fromLatin1(b.good)}) << where;
            }
        }
    }
}

TEST(FrqUpdated, ShowsTheSelectedConnectedReceiversFrequencyOnly) {
    Remote t; // receiver 1 selected; all connected
    auto* fake = t.fake;
    t.window.Freq->setText(QStringLiteral("123"));

    // Another receiver, connected: nothing asked, nothing shown.
    emit fake->RxFrqUpdated(0, 3500000, 0);
    emit fake->RxFrqUpdated(2, 3500000, 0);
    EXPECT_TRUE(fake->calls.isEmpty());
    EXPECT_EQ(t.window.Read->text(), "145500000");

    struct Case {
        int32_t freq;
        const char* shown;
    };
    const Case cases[] = {{7000000, "7000000"},
                          {-1500, "-1500"},
                          {0, "0"},
                          {std::numeric_limits<int32_t>::min(), "-2147483648"},
                          {std::numeric_limits<int32_t>::max(), "2147483647"}};
    for (const Case& c : cases) {
        fake->clearCalls();
        emit fake->RxFrqUpdated(1, c.freq, 12345);
        EXPECT_EQ(fake->calls, QStringList{"RxConnected(1) -> -1"});
        EXPECT_EQ(t.window.Read->text(), c.shown);
    }

    // The selected receiver, no longer connected: asked, and not shown.
    fake->receivers[1].connected = 0;
    fake->clearCalls();
    emit fake->RxFrqUpdated(1, 9999, 0);
    EXPECT_EQ(fake->calls, QStringList{"RxConnected(1) -> 0"});
    EXPECT_EQ(t.window.Read->text(), "2147483647");

    // No selection after a rebuild: ignored for every receiver.
    emit fake->DrvUpdated(3);
    fake->receivers[1].connected = -1;
    fake->clearCalls();
    emit fake->RxFrqUpdated(1, 9999, 0);
    EXPECT_TRUE(fake->calls.isEmpty());
    EXPECT_EQ(t.window.Read->text(), "2147483647");
    EXPECT_EQ(t.window.Freq->text(), "123");
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}

TEST(SignalIndications, SMeterShowsTheSelectedReceiversTextExactlyAndHffChangesNothing) {
    Remote t;
    auto* fake = t.fake;
    for (const char* sp : {"S9+10", "  S5 ", "", "S1"}) {
        emit fake->RxSMtUpdated(1, 7000, 3, -60, QString::fromLatin1(sp));
        EXPECT_EQ(t.window.SMet->text(), QString::fromLatin1(sp));
    }
    emit fake->RxSMtUpdated(0, 0, 0, 0, QStringLiteral("other"));
    emit fake->RxSMtUpdated(2, 0, 0, 0, QString());
    EXPECT_EQ(t.window.SMet->text(), "S1");
    EXPECT_TRUE(fake->calls.isEmpty()); // the S-meter asks the component nothing

    // HFF, for any receiver and state, is received and not shown.
    const QString before = windowState(t.window);
    for (int16_t index : {int16_t{-1}, int16_t{0}, int16_t{1}, int16_t{2}}) {
        for (int32_t sts : {0, 1, -1}) {
            emit fake->RxHFFUpdated(index, sts);
        }
    }
    EXPECT_EQ(windowState(t.window), before);

    // Another receiver selected: the old text stays until that one reports.
    t.window.Driver->setListIndex(2);
    EXPECT_EQ(t.window.SMet->text(), "S1");
    emit fake->RxSMtUpdated(2, 0, 0, 0, QStringLiteral("S3"));
    EXPECT_EQ(t.window.SMet->text(), "S3");

    // No selection: ignored, even for the receiver in CurRx.
    emit fake->DrvUpdated(3);
    emit fake->RxSMtUpdated(2, 0, 0, 0, QStringLiteral("S7"));
    EXPECT_EQ(t.window.SMet->text(), "S3");
    EXPECT_TRUE(t.reporter.reports.isEmpty());
}
