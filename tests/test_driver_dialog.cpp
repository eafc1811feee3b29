// The driver dialog shows, for the chosen driver, only the fields its kind
// uses, and takes the height of what it shows.
#include "component/store/DriverDialog.h"

#include <QComboBox>
#include <QJsonObject>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane::component;

namespace {

// The fields shown, by object name, among those that belong to one kind.
QStringList kindFields(const QDialog& d) {
    QStringList shown;
    for (const char* name : {"profile", "browse", "hamlibModels", "hamlibPort", "hamlibSpeed",
                             "rigctldHost", "rigctldPort", "hamlibTest"}) {
        const auto* w = d.findChild<QWidget*>(QString::fromLatin1(name));
        if (w != nullptr && w->isVisibleTo(&d)) {
            shown.append(QString::fromLatin1(name));
        }
    }
    return shown;
}

} // namespace

TEST(DriverDialog, ShowsOnlyTheFieldsOfTheChosenKind) {
    DriverTable table;
    table.drivers = {QJsonObject{{"name", "HF"}, {"kind", "sim"}, {"profile", "builtin:hf"}},
                     QJsonObject{{"name", "Dummy"}, {"kind", "hamlib"}, {"model", 1}},
                     QJsonObject{{"name", "Net"}, {"kind", "rigctld"}, {"host", "localhost"}},
                     QJsonObject{{"name", "Old"}, {"kind", "retired"}}};
    DriverDialog d(table, {"sim", "hamlib", "rigctld"}, {"hf", "vhf"}, QString(), false);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    auto* list = d.findChild<QListWidget*>(QStringLiteral("drivers"));
    const int simHeight = d.height();

    const QStringList expected[] = {
        {"profile", "browse"},
        {"hamlibModels", "hamlibPort", "hamlibSpeed", "hamlibTest"},
        {"rigctldHost", "rigctldPort", "hamlibTest"},
        {}, // a kind this build lacks: nothing of another kind
    };
    for (int row = 0; row < 4; ++row) {
        list->setCurrentRow(row);
        EXPECT_EQ(kindFields(d), expected[row]) << row;
    }
    // Back to the simulated receiver: no band is left where the Hamlib fields were.
    list->setCurrentRow(0);
    EXPECT_EQ(d.height(), simHeight);

    // Changing the kind in place changes the fields with it.
    d.findChild<QComboBox*>(QStringLiteral("kind"))->setCurrentText(QStringLiteral("rigctld"));
    EXPECT_EQ(kindFields(d), expected[2]);
    EXPECT_EQ(d.table().drivers.at(0).value("kind").toString(), "rigctld");
}
