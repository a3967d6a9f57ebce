// The enabled states of the window's commands in each situation a user meets,
// the same right after a command as when a menu opens, and the toolbar
// buttons, which run their commands' actions but are never disabled.

#include <QAction>
#include <QItemSelectionModel>
#include <QToolButton>
#include <QTreeView>
#include <optional>
#include <set>
#include <string>

#include "platform/Platform.h"
#include "tests/app/WindowFixture.h"

namespace kv::test {
namespace {

// Every command whose enabled state the window's situation decides (the
// menus' own items by their object names).
const char* const kRuled[] = {
    "SaveText_Arch",
    "Print_Arch",
    "Close_Arch",
    "SaveAs_Arch",
    "Dell_Arch",
    "Move_Arch",
    "SelectAll_Arch",
    "SelectNone_Arch",
    "InvertSelect",
    "CopyPath",
    "SearchFileArch1",
    "AddFile",
    "DellFileArch1",
    "Archiver",
    "Restaure",
    "RestaureManquants",
    "SelfExtractor",
    "ModiEnTete",
    "Verifier_Arch",
    "Tester_Arch",
    "Reparer_Arch",
    "ViewFileArch",
    "Selectionner_Modifies",
};
const char* const kNeverDisabled[] = {"New_Arch", "Open_Arch", "DellFile_Arch", "SearchFile_Arch",
                                      "Voir_FichierArch"};

enum class Situation {
    NoArchive,
    NewArchive,         // not on disk yet, no rows
    NewArchiveWithRow,  // not on disk yet
    Stored,             // on disk, two rows, none selected
    OneSelected,
    TwoSelected,
    MissingRow,          // a stored file was removed from the disk
    FilterShowsNothing,  // "Manquants" with no row missing
    Busy,                // two selected; a change refused, a selection let through
};

struct StatesRow {
    const char* name;
    Situation situation;
    std::set<std::string> enabled;  // of kRuled; the others disabled
};

const std::set<std::string> kStored = {
    "SaveText_Arch",
    "Print_Arch",
    "Close_Arch",
    "SaveAs_Arch",
    "Dell_Arch",
    "Move_Arch",
    "SelectAll_Arch",
    "SearchFileArch1",
    "AddFile",
    "Archiver",
    "Restaure",
    "SelfExtractor",
    "ModiEnTete",
    "Verifier_Arch",
    "Tester_Arch",
    "Reparer_Arch",
    "Selectionner_Modifies",
};

std::set<std::string> with(std::set<std::string> names, std::initializer_list<const char*> more) {
    for (const char* name : more) names.insert(name);
    return names;
}

std::set<std::string> without(std::set<std::string> names, const char* name) {
    names.erase(name);
    return names;
}

const std::set<std::string> kTwoSelected =
    with(kStored, {"SelectNone_Arch", "InvertSelect", "DellFileArch1"});

const StatesRow kRows[] = {
    {"NoArchive", Situation::NoArchive, {}},
    {"NewArchive", Situation::NewArchive, {"Close_Arch", "AddFile", "Archiver"}},
    {"NewArchiveWithRow",
     Situation::NewArchiveWithRow,
     {"SaveText_Arch", "Print_Arch", "Close_Arch", "SelectAll_Arch", "SearchFileArch1", "AddFile",
      "Archiver", "Selectionner_Modifies"}},
    {"Stored", Situation::Stored, kStored},
    {"OneSelected", Situation::OneSelected,
     with(kStored,
          {"SelectNone_Arch", "InvertSelect", "CopyPath", "DellFileArch1", "ViewFileArch"})},
    {"TwoSelected", Situation::TwoSelected, kTwoSelected},
    {"MissingRow", Situation::MissingRow, with(kStored, {"RestaureManquants"})},
    {"FilterShowsNothing", Situation::FilterShowsNothing,
     without(kStored, "Selectionner_Modifies")},
    {"Busy", Situation::Busy, kTwoSelected},
};

class ActionStates : public WindowTest, public ::testing::WithParamInterface<StatesRow> {
  protected:
    bool enabled(const char* name) const {
        auto* item = window->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_TRUE(item) << name;
        return item && item->isEnabled();
    }

    void expectStates(const std::set<std::string>& expected) const {
        for (const char* name : kRuled) EXPECT_EQ(enabled(name), expected.count(name) == 1) << name;
        for (const char* name : kNeverDisabled) EXPECT_TRUE(enabled(name)) << name;
    }

    void select(int row) const {
        QTreeView* list = window->listView();
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    void arrange(Situation situation) {
        writeSized("C:\\d\\a.txt", 10);
        writeSized("C:\\d\\b.txt", 20);
        switch (situation) {
            case Situation::NoArchive:
                return;
            case Situation::NewArchive:
            case Situation::NewArchiveWithRow:
                chooser.files.push_back(QStringLiteral("C:\\d\\n.kvr"));
                trigger("New_Arch");
                if (situation == Situation::NewArchiveWithRow) drop({"C:\\d\\a.txt"});
                return;
            default:
                archiveThroughWindow("C:\\d\\n.kvr", {"C:\\d\\a.txt", "C:\\d\\b.txt"});
                ASSERT_TRUE(window->archiveExists());
                ASSERT_EQ(window->archive().rows.size(), 2u);
                break;
        }
        switch (situation) {
            case Situation::OneSelected:
                select(0);
                break;
            case Situation::TwoSelected:
            case Situation::Busy:
                trigger("SelectAll_Arch");
                break;
            case Situation::MissingRow:
                platform().removeFile("C:\\d\\a.txt");
                chooser.files.push_back(QStringLiteral("C:\\d\\n.kvr"));
                trigger("Open_Arch");
                break;
            case Situation::FilterShowsNothing:
                trigger("Afficher_Manquants");
                ASSERT_EQ(window->catalogModel().rowCount(), 0);
                break;
            default:
                break;
        }
    }
};

TEST_P(ActionStates, FollowTheSituationAfterTheCommandAndWhenEachMenuOpens) {
    const StatesRow& row = GetParam();
    makeWindow();
    arrange(row.situation);
    std::optional<BusyScope> busy;
    if (row.situation == Situation::Busy) {
        busy.emplace(*window);
        trigger("Close_Arch");  // refused while busy: nothing changes
        trigger("SelectAll_Arch");
        ASSERT_TRUE(window->archiveOpen());
    }
    {
        SCOPED_TRACE("after the command");
        expectStates(row.enabled);
    }
    for (const char* menu : {"Fichier1", "Edition1", "Action1", "PopupArch"}) {
        SCOPED_TRACE(menu);
        openMenu(menu);
        expectStates(row.enabled);
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, ActionStates, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

class Toolbar : public WindowTest {};

TEST_F(Toolbar, ButtonsRunTheirCommandsThroughTheGuardAndAreNeverDisabled) {
    makeWindow();
    showWindow();
    const struct {
        const char* name;
        const char* command;
    } buttons[] = {
        {"SpeedBNew", "New_Arch"},
        {"SpeedBOpen", "Open_Arch"},
        {"SpeedBArchive", "Archiver"},
        {"SpeedBExtractor", "SelfExtractor"},
        {"SpeedBPlus", "AddFile"},
        {"SpeedBRestaure", "Restaure"},
        {"SpeedBMoins", "DellFile_Arch"},
        {"SpeedBVerifier", "Verifier_Arch"},
        {"SpeedBSearchArch", "SearchFile_Arch"},
        {"ToolB_Voir", "Voir_FichierArch"},
    };
    int left = 0;
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.name);
        auto* button = window->findChild<QToolButton*>(QString::fromLatin1(b.name));
        ASSERT_TRUE(button);
        EXPECT_GT(button->x(), left);
        left = button->x();
        EXPECT_EQ(button->size(), QSize(35, 35));
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->toolTip(), action(b.command)->toolTip());
        EXPECT_TRUE(button->statusTip().isEmpty());
        // With no archive the menus grey these commands; the buttons stay live.
        EXPECT_TRUE(button->isEnabled());
    }
    EXPECT_FALSE(action("Archiver")->isEnabled());

    auto click = [&](const char* name) {
        window->findChild<QToolButton*>(QString::fromLatin1(name))->click();
    };
    {
        // A command that changes the archive waits while the window is busy.
        BusyScope busy(*window);
        click("SpeedBNew");
        EXPECT_TRUE(chooser.requests.empty());
    }
    chooser.files.push_back(QStringLiteral("C:\\n.kvr"));
    click("SpeedBNew");
    ASSERT_EQ(chooser.requests.size(), 1u);
    EXPECT_EQ(chooser.requests[0].title, "Créer une nouvelle archive KVR");
    EXPECT_TRUE(window->archiveOpen());
    {
        // Reading the catalog is let through.
        BusyScope busy(*window);
        click("SpeedBSearchArch");
    }
    EXPECT_EQ(otherDialogs, std::vector<QString>{"kv::TFormSearchFile"});
}

}  // namespace
}  // namespace kv::test
