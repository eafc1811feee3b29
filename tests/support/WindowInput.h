#pragma once

#include "controls/ListBox.h"

#include <QTest>
#include <QWidget>
#include <QWindow>

namespace corvane::testsupport {

// Input as a person gives it: every click and key goes to the top-level
// window's QWindow at a point of the window, and Qt picks the widget under the
// pointer (or with the focus) the way it does for a real mouse and keyboard.
// A control covered by another at that point is therefore not reached.

inline QWindow* handleOf(const QWidget& widget) {
    QWindow* handle = widget.window()->windowHandle();
    if (handle == nullptr) {
        throw std::logic_error("the window is not shown");
    }
    return handle;
}

// Clicks at `at`, a point of `widget` in its own coordinates (its centre by default).
inline void clickAt(const QWidget& widget, QPoint at = {-1, -1},
                    Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (at == QPoint(-1, -1)) {
        at = widget.rect().center();
    }
    QTest::mouseClick(handleOf(widget), Qt::LeftButton, modifiers,
                      widget.mapTo(widget.window(), at));
}

// The centre of entry `row`, in the list's coordinates.
inline QPoint entryPoint(controls::ListBox& list, int row) {
    list.scrollToItem(list.item(row));
    return list.viewport()->mapTo(&list, list.visualItemRect(list.item(row)).center());
}

// The operator clicks entry `row` of a list.
inline void pick(controls::ListBox& list, int row) {
    clickAt(list, entryPoint(list, row));
}

// A key pressed and released where the focus is.
inline void press(const QWidget& anyInWindow, Qt::Key key,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(handleOf(anyInWindow), key, modifiers);
}

// Characters typed where the focus is.
inline void type(const QWidget& anyInWindow, const QString& text) {
    for (const QChar c : text) {
        QTest::keyClick(handleOf(anyInWindow), c.toLatin1());
    }
}

} // namespace corvane::testsupport
