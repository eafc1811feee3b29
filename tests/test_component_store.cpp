// The driver store on disk and the two dialogs that edit it, driven by code;
// the driver dialog shows, for the chosen driver, only the fields its kind uses.
#include "tests/support/ComponentFixture.h"

#include "component/json/JsonText.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

using namespace corvane::testsupport;

namespace {

QStringList names(CorvaneComponent& c) {
    QStringList out;
    for (int16_t i = 0; i < c.DrvCount(); ++i) {
        out.append(c.DrvName(i));
    }
    return out;
}

template <typename W> W* child(QDialog& d, const char* name) {
    W* w = d.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

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

TEST(ComponentStore, MissingFileGivesDefaultsAndWritesNothing) {
    Rig rig;
    auto& c = *rig.component;
    EXPECT_EQ(c.DrvSetup("Test", 0), 0);
    EXPECT_EQ(names(c), (QStringList{"HF", "VHF", "BC", "Dummy"}));
    EXPECT_FALSE(c.RxRomId(1).isEmpty());
    EXPECT_EQ(c.storePath(), rig.storeFile());
    EXPECT_FALSE(QFileInfo::exists(rig.storeFile()));
    EXPECT_THROW(c.DrvSetup("../x", 0), RuntimeError);
    EXPECT_THROW(c.DrvSetup("", 0), RuntimeError);
}

// Every shape of driver table that cannot be used, in one table: the
// defaults are used, the problem names the file and the fault (also in the
// dialog), Cancel leaves the file as it is, and OK saves the table while the
// broken file is kept beside it under a dated name, once.
struct BrokenTable {
    const char* name;
    QByteArray bytes;
    QString fault;
};

class BrokenDriverTable : public ::testing::TestWithParam<BrokenTable> {};

TEST_P(BrokenDriverTable, DefaultsAreUsedAndTheFileIsKeptBesideOnSave) {
    const auto& [name, bytes, fault] = GetParam();
    Rig rig;
    writeFile(rig.storeFile(), bytes);
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    EXPECT_EQ(names(c), (QStringList{"HF", "VHF", "BC", "Dummy"}));
    EXPECT_TRUE(c.storeProblem().contains(fault) && c.storeProblem().contains(rig.storeFile()))
        << c.storeProblem().toStdString();

    QString shown;
    rig.onDialog = [&](DriverDialog& d) {
        QLabel* label = child<QLabel>(d, "problem");
        shown = label->isVisibleTo(&d) ? label->text() : QString();
        return int(QDialog::Rejected);
    };
    c.DrvSetup("Test", 1);
    EXPECT_TRUE(shown.contains(fault)) << shown.toStdString();
    EXPECT_EQ(readAll(rig.storeFile()), bytes);
    EXPECT_TRUE(rig.brokenCopies().isEmpty());

    rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
    c.DrvSetup("Test", 1);
    const QStringList kept = rig.brokenCopies();
    ASSERT_EQ(kept.size(), 1);
    EXPECT_TRUE(
        QRegularExpression("^Test\\.json\\.broken-\\d{8}-\\d{6}$").match(kept[0]).hasMatch());
    EXPECT_EQ(readAll(rig.dir.filePath("corvane/" + kept[0])), bytes);
    EXPECT_TRUE(DriverStore(rig.storeFile()).load().problem.isEmpty());
    EXPECT_EQ(rig.saved()["drivers"].toArray().size(), 4);

    // A later save has nothing more to keep.
    c.DrvSetup("Test", 1);
    EXPECT_EQ(rig.brokenCopies().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    ComponentStore, BrokenDriverTable,
    ::testing::Values(BrokenTable{"OnlyWhiteSpace", "   \n\t\n", "the file is empty"},
                      BrokenTable{"CutOff", "{\"drivers\": [\n  {\"name\": \"A\",",
                                  "not valid JSON at line 2, column"},
                      BrokenTable{"TopLevelArray", R"([{"name": "A", "kind": "sim"}])",
                                  "the top level is not an object"},
                      BrokenTable{"NoDrivers", R"({"receivers": []})", R"("drivers" is missing)"},
                      BrokenTable{"DriversNotAnArray", R"({"drivers": {}})",
                                  R"("drivers" is not an array)"},
                      BrokenTable{"DriverNotAnObject", R"({"drivers": ["HF"]})",
                                  "drivers[0]: expected an object"},
                      BrokenTable{"NameNotAText", R"({"drivers": [{"name": 1, "kind": "sim"}]})",
                                  "drivers[0].name: expected a text"},
                      BrokenTable{"KindMissing", R"({"drivers": [{"name": "A"}]})",
                                  "drivers[0].kind: expected a text"},
                      BrokenTable{"ProfileNotAText",
                                  R"({"drivers": [{"name": "A", "kind": "sim", "profile": 3}]})",
                                  "drivers[0].profile: expected a text"},
                      BrokenTable{"TooLarge", QByteArray(maxJsonBytes + 1, '\n'), "more than the"}),
    [](const ::testing::TestParamInfo<BrokenTable>& info) { return std::string(info.param.name); });

// A table of our own edited in the dialog: keys the program does not know
// survive the save.
TEST(ComponentStore, DialogEditsTheTableAndUnknownKeysSurviveTheSave) {
    Rig rig;
    writeFile(rig.storeFile(), R"({"comment": "mine", "drivers": [
        {"name": "A", "kind": "sim", "profile": "builtin:bc", "colour": "red"},
        {"name": "B", "kind": "sim", "profile": "builtin:hf"},
        {"name": "C", "kind": "sim", "profile": "builtin:hf"}]})");
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    ASSERT_EQ(names(c), (QStringList{"A", "B", "C"}));
    EventLog log(c);

    // Add one (sim, vhf profile) and move it to the top, rename B, remove C.
    rig.onDialog = [](DriverDialog& d) {
        child<QPushButton>(d, "add")->click();
        child<QLineEdit>(d, "name")->setText("Air");
        child<QComboBox>(d, "profile")->setCurrentText("builtin:vhf");
        for (int i = 0; i < 3; ++i) {
            child<QPushButton>(d, "up")->click();
        }
        EXPECT_FALSE(child<QPushButton>(d, "up")->isEnabled());
        child<QListWidget>(d, "drivers")->setCurrentRow(2);
        child<QLineEdit>(d, "name")->setText("B2");
        child<QListWidget>(d, "drivers")->setCurrentRow(3);
        child<QPushButton>(d, "remove")->click();
        return int(QDialog::Accepted);
    };
    c.DrvSetup("Test", 1);
    EXPECT_EQ(log.take(), QStringList{});
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{"DrvUpdated(3)"});
    ASSERT_EQ(names(c), (QStringList{"Air", "A", "B2"}));
    EXPECT_EQ(c.RxFrqMax(0), 2000000000);
    const QJsonDocument saved = rig.saved();
    EXPECT_EQ(saved["comment"].toString(), "mine");
    EXPECT_EQ(saved["drivers"].toArray().size(), 3);
    EXPECT_EQ(saved["drivers"][1]["colour"].toString(), "red");
    EXPECT_EQ(saved["drivers"][2]["name"].toString(), "B2");
    // Atomic save leaves no temporary files behind.
    EXPECT_EQ(QDir(rig.dir.filePath("corvane")).entryList({"Test.json*"}, QDir::Files),
              QStringList{"Test.json"});

    // OK without a change saves but raises nothing.
    rig.onDialog = [](DriverDialog&) { return int(QDialog::Accepted); };
    c.DrvSetup("Test", 1);
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{});

    // Removing every driver leaves none.
    rig.onDialog = [](DriverDialog& d) {
        while (child<QListWidget>(d, "drivers")->count() > 0) {
            child<QPushButton>(d, "remove")->click();
        }
        return int(QDialog::Accepted);
    };
    c.DrvSetup("Test", 1);
    EXPECT_EQ(c.DrvCount(), 0);
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{"DrvUpdated(0)"});
    EXPECT_EQ(rig.saved()["drivers"].toArray().size(), 0);
}

TEST(ComponentStore, ConfigureEditsOneDriverAndKeepsUntouchedReceiversRunning) {
    Rig rig;
    auto& c = *rig.component;
    c.DrvSetup("Test", 0);
    rig.takeControl(2);
    EventLog log(c);

    rig.onDialog = [](DriverDialog& d) {
        EXPECT_FALSE(child<QListWidget>(d, "drivers")->isVisibleTo(&d));
        EXPECT_EQ(child<QLineEdit>(d, "name")->text(), "HF");
        child<QComboBox>(d, "profile")->setCurrentText("builtin:bc");
        return int(QDialog::Accepted);
    };
    EXPECT_EQ(c.RxConfigure(0), 0);
    EXPECT_EQ(c.RxRomId(0), c.RxRomId(2)); // now a broadcast receiver too
    EXPECT_EQ(c.RxConnected(2), -1);       // receiver 2 was not touched
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{"DrvUpdated(4)"});

    // Renaming alone keeps the receiver and its link.
    rig.onDialog = [](DriverDialog& d) {
        child<QLineEdit>(d, "name")->setText("Local");
        return int(QDialog::Accepted);
    };
    c.RxConfigure(2);
    EXPECT_EQ(c.DrvName(2), "Local");
    EXPECT_EQ(c.RxIsRemote(2), -1);

    // Cancel changes nothing; an index outside the table fails before any dialog.
    rig.onDialog = [](DriverDialog& d) {
        child<QLineEdit>(d, "name")->setText("Nope");
        return int(QDialog::Rejected);
    };
    c.RxConfigure(1);
    EXPECT_EQ(c.DrvName(1), "VHF");
    EXPECT_THROW(c.RxConfigure(4), RuntimeError);
    EXPECT_EQ(rig.dialogsShown, 3);
    rig.deliver();
    EXPECT_EQ(log.take(), QStringList{"DrvUpdated(4)"}); // the rename
}

// The driver dialog takes the height of what it shows.
TEST(DriverDialog, ShowsOnlyTheFieldsOfTheChosenKind) {
    DriverDialog d({{},
                    {QJsonObject{{"name", "HF"}, {"kind", "sim"}, {"profile", "builtin:hf"}},
                     QJsonObject{{"name", "Dummy"}, {"kind", "hamlib"}, {"model", 1}},
                     QJsonObject{{"name", "Net"}, {"kind", "rigctld"}, {"host", "localhost"}},
                     QJsonObject{{"name", "Old"}, {"kind", "retired"}}}},
                   {"sim", "hamlib", "rigctld"}, {"hf", "vhf"}, QString(), false);
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
