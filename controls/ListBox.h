#pragma once

#include "controls/Handler.h"

#include <QListWidget>

#include <cstdint>

namespace corvane::controls {

// A list box with the behaviour the window's handlers are written against:
// - Click runs on every change of the selection, by the operator or by code;
//   for a selection made by code it runs before setListIndex returns and its
//   run-time error passes up to that code; for the operator's it runs at the
//   handler boundary;
// - clearing the list runs nothing, nor does Qt moving its current item around
//   (the index is the selection, never currentRow);
// - an empty text is read at a position without an item, and selecting such a
//   position is a run-time error;
// - a disabled list's selection changes only by code: what the mouse and keys
//   cannot do there, a screen reader's actions (an entry's Toggle, a row
//   selection) cannot either.
class ListBox : public QListWidget {
    Q_OBJECT

public:
    explicit ListBox(QWidget* parent = nullptr);
    ~ListBox() override;

    void setClick(Binding click) { m_click = std::move(click); }

    // Selected position, -1 without a selection.
    int16_t listIndex() const;
    // Selects pos (-1 clears the selection); runs Click when that changes it.
    void setListIndex(int32_t pos);
    // The text at pos, or the empty text where there is no item.
    QString listText(int32_t pos) const;
    int16_t listCount() const;
    void addListItem(const QString& text);
    // Removes every item; no Click.
    void clearList();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void selectionChangedByOperator();

    Binding m_click;
    bool m_quiet = false;
};

} // namespace corvane::controls
