// Typed frequency and delta-F, the conversion of typed text to a number, the
// frequency readout and the S-meter text, driven through real focus changes
// and component events.
#include "settings/NumberText.h"
#include "tests/support/ShownWindow.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <limits>

using namespace corvane;
using namespace corvane::testsupport;

namespace {

struct DefaultLocale {
    QLocale saved;
    explicit DefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~DefaultLocale() { QLocale::setDefault(saved); }
};

const QLocale kGerman(QLocale::German, QLocale::Germany);
const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);

} // namespace

// Typing, and another window taking activation, send nothing: the value goes
// once each time the focus moves on to another control. Under remote control
// the lists take part in the tab order.
TEST(FreqEntry, TabGoesToModeAndSendsTheTypedValueOnceEachTimeTheFocusLeaves) {
    ShownWindow<> t(1, -1, -1);
    t.ui.Freq->setFocus();
    type(t.window, QStringLiteral("14200"));
    t.fake->clearCalls();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    t.window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.window));
    ASSERT_TRUE(t.ui.Freq->hasFocus());
    EXPECT_EQ(t.fake->calls, QStringList{});
    press(t.window, Qt::Key_Tab);
    EXPECT_TRUE(t.ui.Mode->hasFocus()) << qPrintable(QApplication::focusWidget()->objectName());
    EXPECT_EQ(t.fake->calls, QStringList{"RxFrq(1, 0) <- 14200"});

    // Back without editing and away again: the same value goes again.
    press(t.window, Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_TRUE(t.ui.Freq->hasFocus());
    press(t.window, Qt::Key_Tab);
    EXPECT_EQ(t.fake->calls, (QStringList{"RxFrq(1, 0) <- 14200", "RxFrq(1, 0) <- 14200"}));

    // Sending touches neither the box nor the readout.
    EXPECT_EQ(t.ui.Freq->text(), "14200");
    EXPECT_EQ(t.ui.Read->text(), "145500000");
    EXPECT_EQ(t.reporter.reports, QStringList{});
}

namespace {

// Typed text in a locale, and the number it reads as or the error it raises.
struct Conversion {
    const char* name;
    const QLocale* locale; // none: refused the same way in both locales
    const char* text;
    int32_t value;
    int error; // 0, or 13 Type mismatch, 6 Overflow
};
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
const Conversion kConversions[] = {
    {"en_blanks", &kEnglish, "  705  ", 705, 0},
    {"en_half_down", &kEnglish, "2.5", 2, 0},
    {"en_negative_half_up", &kEnglish, "-2.5", -2, 0},
    {"en_half_to_zero", &kEnglish, "0.5", 0, 0},
    {"en_above_half", &kEnglish, "2.6", 3, 0},
    {"en_grouped", &kEnglish, "1,234,567", 1234567, 0},
    {"en_max", &kEnglish, "2147483647", 2147483647, 0},
    {"en_min", &kEnglish, "-2147483648", kMin, 0},
    {"en_a_fraction_below_max", &kEnglish, "2147483647.4", 2147483647, 0},
    {"en_half_below_min", &kEnglish, "-2147483648.5", kMin, 0},
    {"en_half_past_max", &kEnglish, "2147483647.5", 0, 6},
    {"de_half_up", &kGerman, "3,5", 4, 0},
    {"de_negative_half", &kGerman, "-3,5", -4, 0},
    {"de_grouped", &kGerman, "1.234.567", 1234567, 0},
    {"letters", nullptr, "abc", 0, 13},
    {"only_blanks", nullptr, "   ", 0, 13},
    {"trailing_letters", nullptr, "12abc", 0, 13},
    {"minus", nullptr, "-", 0, 13},
    {"plus", nullptr, "+", 0, 13},
    {"point", nullptr, ".", 0, 13},
    {"comma", nullptr, ",", 0, 13},
    {"above_max", nullptr, "2147483648", 0, 6},
    {"below_min", nullptr, "-2147483649", 0, 6},
    {"far_above", nullptr, "99999999999", 0, 6},
    {"too_large_for_a_double", nullptr, "1e400", 0, 6},
};

class TextToInt32 : public ::testing::TestWithParam<Conversion> {};

} // namespace

TEST_P(TextToInt32, ReadsInTheLocaleRoundsHalfToEvenAndRefusesWhatIsNoInt32) {
    const Conversion& c = GetParam();
    for (const QLocale* locale :
         c.locale != nullptr ? QList{c.locale} : QList{&kEnglish, &kGerman}) {
        SCOPED_TRACE(locale->name().toStdString());
        try {
            EXPECT_EQ(settings::textToInt32(QString::fromLatin1(c.text), *locale), c.value);
            EXPECT_EQ(c.error, 0) << "not refused";
        } catch (const receiver::RuntimeError& e) {
            EXPECT_EQ(e.number(), c.error) << e.message().toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Window, TextToInt32, ::testing::ValuesIn(kConversions),
                         [](const auto& info) { return std::string(info.param.name); });

// Both boxes convert in the user's locale at the moment the focus leaves: a
// number is sent, an empty box sends and reports nothing, and a refused text
// (blanks too: text, not an empty box) is reported, sends nothing and stays.
TEST(FreqEntry, BothBoxesSendTheConvertedValueNothingOrReportTheRefusal) {
    ShownWindow<> t(1, -1, -1);
    const DefaultLocale locale(kGerman);
    const std::tuple<controls::TextBox*, QString, QString> boxes[] = {
        {t.ui.Freq, "Freq_Validate", "RxFrq(1, 0) <- %1"},
        {t.ui.DeltaF, "DeltaF_Validate", "RxDeltaF(1) <- %1"}};
    const struct {
        QString text;
        bool sends, refused;
    } texts[] = {
        {" -3,5 ", true, false}, {"", false, false}, {"12abc", false, true}, {"  ", false, true}};
    for (const auto& [box, handler, call] : boxes) {
        for (const auto& c : texts) {
            SCOPED_TRACE((handler + " '" + c.text + "'").toStdString());
            t.fake->clearCalls();
            t.reporter.reports.clear();
            box->setText(c.text);
            box->setFocus(Qt::OtherFocusReason);
            press(*box, Qt::Key_Tab);
            EXPECT_EQ(t.fake->calls, c.sends ? QStringList{call.arg(-4)} : QStringList{});
            const QString refusal = handler + QStringLiteral(": Run-time error 13: Type mismatch "
                                                             "(\"%1\" is not a number)")
                                                  .arg(c.text);
            EXPECT_EQ(t.reporter.reports, c.refused ? QStringList{refusal} : QStringList{});
            EXPECT_EQ(box->text(), c.text);
        }
    }
}

// Only the selected receiver's frequency, and only while it is connected,
// reaches the readout; its S-meter text is shown exactly as given; HFF shows
// nothing.
TEST(Readouts, FrequencyOfTheSelectedConnectedReceiverSMeterTextAsGivenAndHffNothing) {
    ShownWindow<> t(1, -1, -1); // receiver 1 selected; all connected
    auto* fake = t.fake;
    t.ui.Freq->setText(QStringLiteral("123"));
    for (const int32_t freq : {7000000, -1500, 0, kMin, std::numeric_limits<int32_t>::max()}) {
        fake->clearCalls();
        emit fake->RxFrqUpdated(1, freq, 12345);
        EXPECT_EQ(fake->calls, QStringList{"RxConnected(1) -> -1"});
        EXPECT_EQ(t.ui.Read->text(), QString::number(freq)); // in plain decimal
    }
    fake->receivers[1].connected = 0;
    fake->clearCalls();
    emit fake->RxFrqUpdated(1, 9999, 0);
    EXPECT_EQ(fake->calls, QStringList{"RxConnected(1) -> 0"});
    EXPECT_EQ(t.ui.Read->text(), "2147483647");
    EXPECT_EQ(t.ui.Freq->text(), "123"); // never written by a reported frequency

    fake->clearCalls();
    for (const char* sp : {"S9+10", "  S5 ", "", "S1"}) {
        emit fake->RxSMtUpdated(1, 7000, 3, -60, QString::fromLatin1(sp));
        EXPECT_EQ(t.ui.SMet->text(), QString::fromLatin1(sp));
    }
    EXPECT_EQ(fake->calls, QStringList{}); // the S-meter asks the component nothing

    const QString before = windowState(t.window);
    for (int32_t sts : {0, 1, -1}) {
        emit fake->RxHFFUpdated(1, sts);
    }
    EXPECT_EQ(windowState(t.window), before);

    // Another receiver selected: the old text stays until that one reports.
    t.ui.Driver->setListIndex(2);
    EXPECT_EQ(t.ui.SMet->text(), "S1");
    emit fake->RxSMtUpdated(2, 0, 0, 0, QStringLiteral("S3"));
    EXPECT_EQ(t.ui.SMet->text(), "S3");
    EXPECT_EQ(t.reporter.reports, QStringList{});
}
