#include "controls/ListBox.h"

#include <QItemSelectionModel>
#include <QScopeGuard>

#include <functional>

namespace corvane::controls {

namespace {

// The selection as the view's model keeps it, refusing every change that the
// list does not allow at the time. A disabled list takes no mouse or key, but
// a screen reader selects through the selection model directly (an entry's
// Toggle, a list's row selection): that must meet the same refusal.
class GuardedSelection final : public QItemSelectionModel {
public:
    GuardedSelection(QAbstractItemModel* model, QObject* parent, std::function<bool()> allowed)
        : QItemSelectionModel(model, parent), m_allowed(std::move(allowed)) {}

    void select(const QModelIndex& index, SelectionFlags command) override {
        if (m_allowed()) {
            QItemSelectionModel::select(index, command);
        }
    }
    void select(const QItemSelection& selection, SelectionFlags command) override {
        if (m_allowed()) {
            QItemSelectionModel::select(selection, command);
        }
    }
    // From now on everything is allowed: the list is going, and Qt clears the
    // selection while it takes the view's parts down, after the list that
    // answered `allowed` is gone.
    void release() {
        m_allowed = [] { return true; };
    }

private:
    std::function<bool()> m_allowed;
};

} // namespace

ListBox::ListBox(QWidget* parent) : QListWidget(parent) {
    // Code always may (a loader enables the list before it selects); anyone
    // else only while the list is enabled.
    QItemSelectionModel* given = selectionModel();
    setSelectionModel(
        new GuardedSelection(model(), this, [this] { return m_quiet || isEnabled(); }));
    delete given;
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    // One line of text per item: the first item's size stands for all. Without
    // this a visible list measures and shapes every item's text again on each
    // selection made right after a rebuild, which made a selection of a large
    // receiver several times slower.
    setUniformItemSizes(true);
    // A long entry is cut at the right edge rather than stealing a line of a
    // two-line list for a scroll bar.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    connect(this, &QListWidget::itemSelectionChanged, this, &ListBox::selectionChangedByOperator);
}

ListBox::~ListBox() {
    if (auto* guarded = dynamic_cast<GuardedSelection*>(selectionModel())) {
        guarded->release();
    }
}

int16_t ListBox::listIndex() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? int16_t{-1} : static_cast<int16_t>(rows.first().row());
}

void ListBox::setListIndex(int32_t pos) {
    if (pos < -1 || pos >= count()) {
        throw receiver::RuntimeError::invalidPropertyValue(
            QStringLiteral("%1 has no item at position %2").arg(objectName()).arg(pos));
    }
    if (pos == listIndex()) {
        return;
    }
    {
        m_quiet = true;
        const auto done = qScopeGuard([this] { m_quiet = false; });
        if (pos < 0) {
            clearSelection();
        } else {
            setCurrentRow(pos, QItemSelectionModel::ClearAndSelect);
        }
    }
    if (m_click) {
        m_click.handler();
    }
}

QString ListBox::listText(int32_t pos) const {
    const QListWidgetItem* it = (pos >= 0 && pos < count()) ? item(pos) : nullptr;
    return it != nullptr ? it->text() : QString();
}

int16_t ListBox::listCount() const {
    return static_cast<int16_t>(count());
}

void ListBox::addListItem(const QString& text) {
    m_quiet = true;
    const auto done = qScopeGuard([this] { m_quiet = false; });
    addItem(text);
}

void ListBox::clearList() {
    m_quiet = true;
    const auto done = qScopeGuard([this] { m_quiet = false; });
    clear();
}

QItemSelectionModel::SelectionFlags ListBox::selectionCommand(const QModelIndex& index,
                                                              const QEvent* event) const {
    // The operator can move the selection but never take it away (no Ctrl+click
    // or Ctrl+Space deselect): a list box always keeps its selected entry.
    if (!index.isValid()) {
        return QItemSelectionModel::NoUpdate;
    }
    const auto flags = QListWidget::selectionCommand(index, event);
    if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle)) {
        return QItemSelectionModel::ClearAndSelect;
    }
    return flags;
}

void ListBox::selectionChangedByOperator() {
    // A screen reader picks an entry by clearing the selection and then
    // selecting it: only the entry picked is a Click, never the moment
    // between with nothing selected.
    if (m_quiet || !m_click || listIndex() < 0) {
        return;
    }
    m_click.runAtBoundary();
}

} // namespace corvane::controls
