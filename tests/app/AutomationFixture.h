#pragma once
// The main window with automation around it: the desktop's autostart folder
// inside the test's drive (C:\config\autostart), an archive of two files made
// by the engine, a script naming one of them and a new one, and a DialogRunner
// that hands the options dialog to the test (onOptions) and every other
// dialog to the window fixture.

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "dialogs/TFormOptions.h"
#include "engine/Adding.h"
#include "engine/ArchiveRun.h"
#include "engine/AutoSaveSettings.h"
#include "engine/CatalogReader.h"
#include "engine/SelectionScript.h"
#include "tests/app/WindowFixture.h"
#include "tests/support/RecordingUi.h"

namespace kv::test {

// Sets an environment variable for the life of the scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

class AutomationTest : public WindowTest {
  protected:
    static constexpr const char* Archive = "C:\\Arch\\docs.kvr";
    static constexpr const char* Script = "C:\\Korvelt\\Script\\docs.kvl";
    static constexpr const char* Startup = "C:\\config\\autostart\\";

    void SetUp() override {
        WindowTest::SetUp();
        DialogRunner::setHandler([this](QDialog& dialog) {
            if (auto* options = qobject_cast<TFormOptions*>(&dialog))
                return onOptions ? onOptions(*options) : int(QDialog::Rejected);
            return runDialog(dialog);
        });
    }

    // a.txt and b.txt archived in C:\Arch\docs.kvr; the script names a.txt and c.txt.
    void makeArchiveAndScript() {
        drives.writeFile("C:\\Docs\\a.txt", "alpha");
        drives.writeFile("C:\\Docs\\b.txt", "beta");
        drives.writeFile("C:\\Docs\\c.txt", "gamma");
        drives.makeFolder("C:\\Arch");
        drives.makeFolder("C:\\Korvelt\\Script");
        OpenArchive archive;
        RunOptions options;
        archive.path = Archive;
        options.workFolder = platform().tempFolder();
        RecordingUi quiet;
        AddOperation add(archive, quiet, [](const std::string&) { return std::string("Texte"); },
                         {});
        AddSelectionEntry(add, "C:\\Docs\\a.txt");
        AddSelectionEntry(add, "C:\\Docs\\b.txt");
        ASSERT_TRUE(ArchiveFiles(archive, options, Environment(), quiet).clean());
        WriteSelectionScript(Script, {"C:\\Docs\\a.txt", "C:\\Docs\\c.txt"});
    }

    // The names the archive holds, in file order, read by the engine.
    std::vector<std::string> storedNames() const {
        OpenArchive archive;
        archive.path = Archive;
        archive.sortKey = 0;  // file order
        RecordingUi quiet;
        EXPECT_EQ(LoadArchive(archive, quiet).outcome, LoadOutcome::Loaded);
        std::vector<std::string> names;
        for (const CatalogRow& row : archive.rows) names.push_back(row.name);
        return names;
    }

    std::string journal() const {
        return drives.readFile("C:\\Korvelt\\Script\\Journal_AutoSave.txt");
    }

    ScopedEnv config{"XDG_CONFIG_HOME", drives.root('C') + "/config"};
    std::function<int(TFormOptions&)> onOptions;
};

}  // namespace kv::test
