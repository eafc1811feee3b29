#include "component/dialog/DriverDialog.h"

#include "component/dialog/HamlibSection.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane::component {

namespace {
QString field(const QJsonObject& entry, const char* key) {
    return entry.value(QLatin1String(key)).toString();
}
} // namespace

DriverDialog::DriverDialog(DriverTable table, QStringList kinds, const QStringList& profiles,
                           const QString& problem, bool single, QWidget* parent)
    : QDialog(parent), m_table(std::move(table)), m_list(new QListWidget(this)),
      m_name(new QLineEdit(this)), m_kind(new QComboBox(this)), m_profile(new QComboBox(this)),
      m_remove(new QPushButton(tr("Remove"), this)), m_up(new QPushButton(tr("Up"), this)),
      m_down(new QPushButton(tr("Down"), this)), m_problem(new QLabel(problem, this)) {
    setWindowTitle(single ? tr("Configure driver") : tr("Drivers"));
    m_list->setObjectName(QStringLiteral("drivers"));
    m_name->setObjectName(QStringLiteral("name"));
    m_kind->setObjectName(QStringLiteral("kind"));
    m_profile->setObjectName(QStringLiteral("profile"));
    m_remove->setObjectName(QStringLiteral("remove"));
    m_up->setObjectName(QStringLiteral("up"));
    m_down->setObjectName(QStringLiteral("down"));
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_problem->setVisible(!problem.isEmpty());

    m_kind->addItems(kinds);
    m_profile->setEditable(true);
    for (const QString& name : profiles) {
        m_profile->addItem(QStringLiteral("builtin:") + name);
    }

    auto* add = new QPushButton(tr("Add"), this);
    add->setObjectName(QStringLiteral("add"));
    auto* browse = new QPushButton(tr("Browse..."), this);
    browse->setObjectName(QStringLiteral("browse"));

    auto* listButtons = new QVBoxLayout;
    for (QPushButton* b : {add, m_remove, m_up, m_down}) {
        listButtons->addWidget(b);
    }
    listButtons->addStretch();
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_list);
    listRow->addLayout(listButtons);

    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(m_profile, 1);
    profileRow->addWidget(browse);
    m_form = new QFormLayout;
    m_form->addRow(tr("Name"), m_name);
    m_form->addRow(tr("Kind"), m_kind);
    m_form->addRow(tr("Profile"), profileRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_problem);
    layout->addLayout(listRow);
    layout->addLayout(m_form);
    m_hamlib = new HamlibSection(this);
    layout->addWidget(m_hamlib);
    layout->addWidget(buttons);

    if (single) {
        // One driver: the table around it is not this dialog's business.
        m_list->hide();
        for (QPushButton* b : {add, m_remove, m_up, m_down}) {
            b->hide();
        }
    }
    for (const QJsonObject& d : m_table.drivers) {
        m_list->addItem(field(d, "name"));
    }

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, &DriverDialog::add);
    connect(m_remove, &QPushButton::clicked, this, &DriverDialog::remove);
    connect(m_up, &QPushButton::clicked, this, [this] { move(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { move(1); });
    connect(browse, &QPushButton::clicked, this, &DriverDialog::browse);
    connect(m_list, &QListWidget::currentRowChanged, this, &DriverDialog::showRow);
    connect(m_name, &QLineEdit::textChanged, this, [this](const QString& text) {
        storeField("name", text);
        if (QListWidgetItem* item = m_list->currentItem()) {
            item->setText(text);
        }
    });
    connect(m_kind, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        storeField("kind", text);
        const int row = currentRow();
        if (!m_filling && row >= 0 && row < m_table.drivers.size()) {
            m_hamlib->load(m_table.drivers.at(row));
            showFieldsOf(text);
        }
    });
    connect(m_hamlib, &HamlibSection::edited, this,
            [this](const QString& key, const QJsonValue& value) {
                const int row = currentRow();
                if (row >= 0 && row < m_table.drivers.size()) {
                    QJsonObject& entry = m_table.drivers[row];
                    if (value.isUndefined()) {
                        entry.remove(key);
                    } else {
                        entry.insert(key, value);
                    }
                }
            });
    connect(m_profile, &QComboBox::currentTextChanged, this,
            [this](const QString& text) { storeField("profile", text); });

    m_list->setCurrentRow(m_table.drivers.isEmpty() ? -1 : 0);
    showRow(currentRow());
}

int DriverDialog::currentRow() const {
    return m_list->currentRow();
}

void DriverDialog::showRow(int row) {
    m_filling = true;
    const bool valid = row >= 0 && row < m_table.drivers.size();
    const QJsonObject entry = valid ? m_table.drivers.at(row) : QJsonObject();
    m_name->setText(field(entry, "name"));
    const QString kind = field(entry, "kind");
    if (valid && m_kind->findText(kind) < 0) {
        m_kind->addItem(kind); // a kind this build lacks stays as it is
    }
    m_kind->setCurrentIndex(valid ? m_kind->findText(kind) : -1);
    m_profile->setCurrentText(field(entry, "profile"));
    m_hamlib->load(entry);
    showFieldsOf(kind);
    for (QWidget* w : std::initializer_list<QWidget*>{m_name, m_kind, m_profile}) {
        w->setEnabled(valid);
    }
    m_filling = false;
    updateButtons();
}

void DriverDialog::showFieldsOf(const QString& kind) {
    m_form->setRowVisible(2, kind == QLatin1String("sim"));
    // The dialog takes the height of what it now shows: no empty band where
    // another kind's fields were.
    adjustSize();
}

void DriverDialog::storeField(const char* key, const QString& value) {
    const int row = currentRow();
    if (m_filling || row < 0 || row >= m_table.drivers.size()) {
        return;
    }
    QJsonObject& entry = m_table.drivers[row];
    if (entry.value(QLatin1String(key)).toString() != value ||
        !entry.contains(QLatin1String(key))) {
        entry.insert(QLatin1String(key), value);
    }
}

void DriverDialog::add() {
    QJsonObject entry{{QStringLiteral("name"), tr("New")},
                      {QStringLiteral("kind"), QStringLiteral("sim")},
                      {QStringLiteral("profile"), QStringLiteral("builtin:hf")}};
    m_table.drivers.append(entry);
    m_list->addItem(field(entry, "name"));
    m_list->setCurrentRow(static_cast<int>(m_table.drivers.size() - 1));
    m_name->setFocus();
    m_name->selectAll();
}

void DriverDialog::remove() {
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    m_table.drivers.removeAt(row);
    delete m_list->takeItem(row);
    showRow(currentRow());
}

void DriverDialog::move(int by) {
    const int row = currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= m_table.drivers.size()) {
        return;
    }
    m_table.drivers.move(row, to);
    QListWidgetItem* item = m_list->takeItem(row);
    m_list->insertItem(to, item);
    m_list->setCurrentRow(to);
}

void DriverDialog::browse() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Receiver profile"), QString(),
                                                      tr("Profiles (*.json);;All files (*)"));
    if (!path.isEmpty()) {
        m_profile->setCurrentText(path);
    }
}

void DriverDialog::updateButtons() {
    const int row = currentRow();
    const int n = static_cast<int>(m_table.drivers.size());
    m_remove->setEnabled(row >= 0);
    m_up->setEnabled(row > 0);
    m_down->setEnabled(row >= 0 && row < n - 1);
}

} // namespace corvane::component
