#pragma once

#include "component/store/DriverStore.h"

#include <QDialog>

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvane::component {

class HamlibSection;

// Edits a driver table: add, remove, rename, reorder, and choose each driver's
// kind and profile. In single mode it edits one driver only (RxConfigure).
//
// Widgets carry object names for tests: "drivers" (list), "add", "remove",
// "up", "down", "name", "kind", "profile", "browse", "problem" (label).
class DriverDialog : public QDialog {
    Q_OBJECT

public:
    // `profiles` are the built-in simulated receiver profiles offered as
    // "builtin:<name>"; the store does not know the simulation itself.
    DriverDialog(DriverTable table, QStringList kinds, const QStringList& profiles,
                 const QString& problem, bool single, QWidget* parent = nullptr);

    const DriverTable& table() const { return m_table; }
    int currentRow() const;

private:
    void showRow(int row);
    void storeField(const char* key, const QString& value);
    void add();
    void remove();
    void move(int by);
    void browse();
    void updateButtons();
    // Shows the fields the kind uses: a profile for "sim", the Hamlib
    // section's for "hamlib" and "rigctld", none for a kind this build lacks.
    void showFieldsOf(const QString& kind);

    DriverTable m_table;
    QListWidget* m_list;
    QLineEdit* m_name;
    QComboBox* m_kind;
    QComboBox* m_profile;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    QLabel* m_problem;
    QFormLayout* m_form = nullptr;
    HamlibSection* m_hamlib = nullptr; // the fields of the "hamlib" and "rigctld" kinds
    bool m_filling = false;
};

} // namespace corvane::component
