// The Hamlib part of the driver dialog: models, ports, and a Test that never
// holds up the window.
#include "tests/support/HamlibPeers.h"

#include "component/dialog/DriverDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

#include <gtest/gtest.h>

namespace corvane::testsupport {
namespace {

template <typename W> W* child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

DriverTable table() {
    DriverTable t;
    t.drivers = {entryFrom(R"({"name": "Dummy", "kind": "hamlib", "model": 1})"),
                 entryFrom(R"({"name": "HF", "kind": "sim", "profile": "builtin:hf"})")};
    return t;
}

TEST(HamlibDialog, ModelsArePickedFromASearchableListAndStored) {
    DriverDialog d(table(), {"sim", "hamlib", "rigctld"}, {}, {}, false);
    auto* models = child<QListWidget>(d, "hamlibModels");
    ASSERT_TRUE(models->isVisibleTo(&d));
    ASSERT_TRUE(waitUntil([&] { return models->isEnabled(); }, 20000)) << "no model list";
    EXPECT_GT(models->count(), 100);
    ASSERT_NE(models->currentItem(), nullptr);
    EXPECT_EQ(models->currentItem()->data(Qt::UserRole).toInt(), 1);

    child<QLineEdit>(d, "hamlibSearch")->setText("hamlib net rigctl");
    std::vector<QListWidgetItem*> shown;
    for (int i = 0; i < models->count(); ++i) {
        if (!models->item(i)->isHidden()) {
            shown.push_back(models->item(i));
        }
    }
    ASSERT_EQ(shown.size(), 1u);
    models->setCurrentItem(shown.front());
    child<QComboBox>(d, "hamlibSpeed")->setCurrentText("19200");
    EXPECT_EQ(d.table().drivers.at(0).value("model").toInt(), RIG_MODEL_NETRIGCTL);
    EXPECT_EQ(d.table().drivers.at(0).value("speed").toInt(), 19200);
    child<QComboBox>(d, "hamlibSpeed")->setCurrentText("");
    EXPECT_FALSE(d.table().drivers.at(0).contains("speed"));

    // A rigctld receiver stores its host and port.
    child<QListWidget>(d, "drivers")->setCurrentRow(1);
    child<QComboBox>(d, "kind")->setCurrentText("rigctld");
    child<QLineEdit>(d, "rigctldHost")->setText("10.1.2.3");
    child<QSpinBox>(d, "rigctldPort")->setValue(4533);
    EXPECT_EQ(d.table().drivers.at(1).value("host").toString(), "10.1.2.3");
    EXPECT_EQ(d.table().drivers.at(1).value("port").toInt(), 4533);
}

TEST(HamlibDialog, TestRunsOffTheWindowsThread) {
    DriverDialog d(table(), {"sim", "hamlib", "rigctld"}, {}, {}, false);
    // Filling the list with Hamlib's thousands of models is the window's
    // own work; what is measured here is the Test.
    ASSERT_TRUE(
        waitUntil([&] { return child<QListWidget>(d, "hamlibModels")->isEnabled(); }, 20000));
    Watchdog watchdog;
    auto* result = child<QLabel>(d, "hamlibResult");
    child<QPushButton>(d, "hamlibTest")->click();
    ASSERT_TRUE(waitUntil([&] { return result->text().startsWith("Connected"); }, 10000))
        << result->text().toStdString();
    EXPECT_EQ(result->text(), "Connected: Nothing much (dummy), 145000000 Hz");

    // Nothing listens on port 1 of this machine.
    child<QListWidget>(d, "drivers")->setCurrentRow(1);
    child<QComboBox>(d, "kind")->setCurrentText("rigctld");
    child<QLineEdit>(d, "rigctldHost")->setText("127.0.0.1");
    child<QSpinBox>(d, "rigctldPort")->setValue(1);
    child<QPushButton>(d, "hamlibTest")->click();
    ASSERT_TRUE(waitUntil([&] { return result->text().startsWith("Failed"); }, 10000))
        << result->text().toStdString();
    EXPECT_LT(watchdog.longestMs(), 100);
}

// Test never opens what cannot be a radio's port and says why at once; an
// emptied port field leaves the port to Hamlib's default for the model.
TEST(HamlibDialog, TestRefusesWhatCannotBeARadiosPort) {
    DriverDialog d(table(), {"sim", "hamlib", "rigctld"}, {}, {}, false);
    auto* port = child<QComboBox>(d, "hamlibPort");
    port->setCurrentText("/dev/zero");
    child<QPushButton>(d, "hamlibTest")->click();
    EXPECT_EQ(child<QLabel>(d, "hamlibResult")->text(),
              R"(driver "Dummy": port "/dev/zero" is a memory device (like /dev/null), not a )"
              "line to a radio");
    EXPECT_EQ(d.table().drivers.at(0).value("port").toString(), "/dev/zero");
    port->setCurrentText("");
    EXPECT_FALSE(d.table().drivers.at(0).contains("port"));
}

} // namespace
} // namespace corvane::testsupport
