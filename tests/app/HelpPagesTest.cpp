// The help pages: every page a help button or F1 opens is in the program
// folder's Help/ of the build, and the pages hold together (every link and
// picture resolves, every page is reached from the index, no scripts).

#include <QAction>
#include <QPrinter>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "dialogs/TFormAddArch.h"
#include "dialogs/TFormOptions.h"
#include "dialogs/TFormPrint.h"
#include "dialogs/TFormSearchFile.h"
#include "tests/app/ListingFixture.h"

namespace kv::test {
namespace {

namespace fs = std::filesystem;

fs::path helpFolder() {
    const char* bin = std::getenv("KORVELT_BIN");
    return bin ? fs::path(bin) / "Help" : fs::path();
}

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class HelpPages : public ListingTest {
  protected:
    void SetUp() override {
        ListingTest::SetUp();
        // Help\index.htm in the program folder: the windows find help available.
        drives.writeFile("C:\\Korvelt\\Help\\index.htm", "<html></html>");
        fp.install();
        fp.setOpenDocumentResult(42);
    }

    // The pages opened so far, as names inside the Help folder.
    std::set<std::string> opened() const {
        std::set<std::string> pages;
        for (const auto& document : fp.openedDocuments()) {
            EXPECT_EQ(document.folder, "C:\\Korvelt\\Help");
            pages.insert(document.file.substr(document.file.rfind('\\') + 1));
        }
        return pages;
    }

    FaultPlatform fp;
};

TEST_F(HelpPages, EveryPageTheProgramOpensIsInTheProgramFolder) {
    TMainKorvelt2002& w = windowWith({row("C:\\A\\", "x.doc")});
    ASSERT_TRUE(w.helpAvailable());
    action("FileHelp")->trigger();
    DialogRunner::setHandler([this](QDialog& dialog) {
        if (auto* form = qobject_cast<TFormSearchFile*>(&dialog))
            QTest::mouseClick(form->buttonHelp(), Qt::LeftButton);
        return runDialog(dialog);
    });
    trigger("SearchFile_Arch");
    QPrinter printer;
    TFormPrint print(w.ui(), printer);
    print.setHelpAvailable(w.helpAvailable());
    QTest::mouseClick(print.buttonHelp(), Qt::LeftButton);
    w.forms().restaure->ButtonHelpClick();
    TFormAddArch add(w.ui());
    add.ButtonHelpClick();
    TFormOptions options(w.ui(), w.environment().separators, w.helpAvailable());
    options.ButtonHelpClick();
    EXPECT_TRUE(boxes.empty());

    const std::set<std::string> expected = {"index.htm",    "search.htm",  "printarch.htm",
                                            "restaure.htm", "addfile.htm", "option.htm"};
    EXPECT_EQ(opened(), expected);
    for (const char* page :
         {"index.htm", "search.htm", "printarch.htm", "restaure.htm", "addfile.htm", "option.htm"})
        EXPECT_TRUE(fs::is_regular_file(helpFolder() / page)) << page;
}

TEST(HelpPageLinks, EveryLinkAndPictureResolvesAndTheIndexReachesEveryPage) {
    const fs::path folder = helpFolder();
    ASSERT_TRUE(fs::is_directory(folder)) << folder;
    const std::regex reference(R"re((href|src)="([^"]*)")re");
    const std::regex anchor(R"re(\bid="([^"]*)")re");
    std::set<std::string> pages, linkedFromIndex;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == ".htm") pages.insert(entry.path().filename().string());
    ASSERT_GE(pages.size(), 9u);

    for (const std::string& page : pages) {
        const std::string html = slurp(folder / page);
        EXPECT_NE(html.find("<meta charset=\"utf-8\">"), std::string::npos) << page;
        EXPECT_NE(html.find("<html lang=\"fr\">"), std::string::npos) << page;
        EXPECT_NE(html.find("href=\"korvelt.css\""), std::string::npos) << page;
        EXPECT_EQ(html.find("<script"), std::string::npos) << page;
        for (std::sregex_iterator it(html.begin(), html.end(), reference), end; it != end; ++it) {
            const std::string target = (*it)[2];
            EXPECT_EQ(target.find(':'), std::string::npos) << page << ": " << target;
            const auto hash = target.find('#');
            const std::string file = target.substr(0, hash);
            const std::string fragment = hash == std::string::npos ? "" : target.substr(hash + 1);
            const fs::path resolved = file.empty() ? folder / page : folder / file;
            ASSERT_TRUE(fs::is_regular_file(resolved)) << page << ": " << target;
            if (page == "index.htm" && resolved.extension() == ".htm")
                linkedFromIndex.insert(resolved.filename().string());
            if (fragment.empty()) continue;
            const std::string targetHtml = slurp(resolved);
            bool found = false;
            for (std::sregex_iterator a(targetHtml.begin(), targetHtml.end(), anchor), e; a != e;
                 ++a)
                found = found || (*a)[1] == fragment;
            EXPECT_TRUE(found) << page << ": " << target;
        }
    }
    EXPECT_EQ(linkedFromIndex, pages);
}

}  // namespace
}  // namespace kv::test
