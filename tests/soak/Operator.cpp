#include "tests/soak/Operator.h"

#include <QApplication>
#include <QTest>

namespace corvane::soak {

using receiver::RuntimeError;

void CountingReporter::report(const QString& handler, const RuntimeError& error) {
    ++m_total;
    m_recent.push_back({handler, error.number(), error.description()});
    ++m_byHandler[handler];
    const QString kind = QStringLiteral("%1 error %2").arg(handler).arg(error.number());
    ++m_byKind[kind];
    m_examples.try_emplace(kind, error.description());
}

uint64_t CountingReporter::countFrom(const QString& handler) const {
    const auto it = m_byHandler.find(handler);
    return it == m_byHandler.end() ? 0 : it->second;
}

namespace {

// Types text key by key; characters without a key of their own on a US
// keyboard come as key events carrying just their text, as an input method
// delivers them.
void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
        } else {
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
    }
}

} // namespace

Operator::Operator(window::Test& window, CountingReporter& reporter, uint64_t seed)
    : m_window(window), m_reporter(reporter), m_dice(seed) {}

int Operator::pick(int below) {
    return std::uniform_int_distribution<int>(0, below - 1)(m_dice);
}

bool Operator::chance(int percent) {
    return pick(100) < percent;
}

void Operator::act() {
    ++m_actions;
    // Coupling is meant to be on: once switched off, it soon comes back.
    if (!m_ui.Coupling->isChecked() && chance(30)) {
        clickCoupling();
        return;
    }
    const int roll = pick(100);
    if (roll < 12) {
        pickListEntry(*m_ui.Driver);
    } else if (roll < 32) {
        controls::ListBox* lists[] = {m_ui.Mode, m_ui.Filter, m_ui.Agc, m_ui.NB, m_ui.Att};
        pickListEntry(*lists[pick(5)]);
    } else if (roll < 52) {
        clickButton();
    } else if (roll < 54) {
        clickCoupling();
    } else if (roll < 70) {
        typeInto(chance(50) ? *m_ui.Freq : *m_ui.DeltaF);
    } else if (roll < 78) {
        strayKeys();
    } else if (roll < 84) {
        tab();
    } else {
        idle();
    }
}

void Operator::pickListEntry(controls::ListBox& list) {
    if (list.count() == 0) {
        idle();
        return;
    }
    QListWidgetItem* item = list.item(pick(list.count()));
    list.scrollToItem(item);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier,
                      list.visualItemRect(item).center());
}

void Operator::clickButton() {
    controls::Button* buttons[] = {m_ui.Connect, m_ui.Connect, m_ui.Disconnect, m_ui.Remote,
                                   m_ui.Remote,  m_ui.Local,   m_ui.Dialog};
    controls::Button* button = buttons[pick(std::size(buttons))];
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    if (button == m_ui.Dialog) {
        const Qt::KeyboardModifiers choices[] = {Qt::NoModifier, Qt::ShiftModifier,
                                                 Qt::ShiftModifier | Qt::ControlModifier};
        modifiers = choices[pick(3)];
    }
    QTest::mouseClick(button, Qt::LeftButton, modifiers);
}

void Operator::clickCoupling() {
    QTest::mouseClick(m_ui.Coupling, Qt::LeftButton);
}

void Operator::typeInto(controls::TextBox& box) {
    // What the operator types, and whether it can be read as a number at all
    // (the window reads in the user's locale; these read the same in any).
    struct Typed {
        QString text;
        int32_t error; // 0: a number (sending it may still fail)
    };
    static const Typed garbage[] = {
        {QStringLiteral("abc"), RuntimeError::TypeMismatch},
        {QStringLiteral("12q"), RuntimeError::TypeMismatch},
        {QStringLiteral("   "), RuntimeError::TypeMismatch},
        {QStringLiteral("--5"), RuntimeError::TypeMismatch},
        {QStringLiteral("0x1F"), RuntimeError::TypeMismatch},
        {QStringLiteral("7 050 000 Hz"), RuntimeError::TypeMismatch},
        {QStringLiteral("\u00e9\u00df!"), RuntimeError::TypeMismatch},
        {QStringLiteral("2147483648"), RuntimeError::Overflow},
        {QStringLiteral("-99999999999"), RuntimeError::Overflow},
    };
    Typed typed;
    if (chance(40)) {
        typed = garbage[pick(std::size(garbage))];
    } else {
        // A frequency near the receivers' bands, or a small delta-F, or nothing.
        const int32_t value = chance(50) ? 100000 + pick(30000000) : pick(4001) - 2000;
        typed = {chance(10) ? QString() : QString::number(value), 0};
    }

    QTest::mouseClick(&box, Qt::LeftButton);
    if (QApplication::focusWidget() != &box) {
        m_problems.append(
            QStringLiteral("a click did not give %1 the focus").arg(box.objectName()));
        return;
    }
    box.selectAll();
    QTest::keyClick(&box, Qt::Key_Backspace);
    typeText(&box, typed.text);

    const QString handler = box.objectName() + QStringLiteral("_Validate");
    const uint64_t before = m_reporter.countFrom(handler);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    const uint64_t after = m_reporter.countFrom(handler);
    if (typed.error == 0) {
        if (after > before) {
            const int32_t number = m_reporter.last().number;
            if (number == RuntimeError::TypeMismatch || number == RuntimeError::Overflow) {
                m_problems.append(
                    QStringLiteral("\"%1\" in %2 refused as no number").arg(typed.text, handler));
            }
        }
        return;
    }
    ++m_garbage;
    if (after != before + 1 || m_reporter.last().number != typed.error) {
        m_problems.append(QStringLiteral("\"%1\" left in %2: %3 reports, expected one error %4")
                              .arg(typed.text, handler)
                              .arg(after - before)
                              .arg(typed.error));
    }
}

void Operator::strayKeys() {
    static const QString keys = QStringLiteral("aZ09 .,-+*\u00e4\r\b\x1b");
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &m_window;
    for (int n = 1 + pick(4); n > 0; --n) {
        const QChar c = keys.at(pick(keys.size()));
        if (c == u'\r') {
            QTest::keyClick(target, Qt::Key_Return);
        } else if (c == u'\b') {
            QTest::keyClick(target, Qt::Key_Backspace);
        } else if (c == u'\x1b') {
            QTest::keyClick(target, Qt::Key_Escape);
        } else {
            typeText(target, QString(c));
        }
    }
}

void Operator::tab() {
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &m_window;
    QTest::keyClick(target, Qt::Key_Tab, chance(30) ? Qt::ShiftModifier : Qt::NoModifier);
}

void Operator::idle() {
    // Timers (connect delays, S-meter, link drops, data errors) and the
    // component's queued events run here.
    QTest::qWait(pick(40));
}

} // namespace corvane::soak
