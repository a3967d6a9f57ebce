#pragma once
// What the kvr commands share: exit codes, the command table entry, the rule
// that turns an argument into a Windows path, opening an archive, and the
// terminal Ui. A command may throw kv::Error: main prints its message on
// standard error and exits with ExitFailure.

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "util/Ui.h"

namespace kvr {

// The exit statuses (docs/kvr.md has the table).
constexpr int ExitOk = 0;       // everything was done: nothing left out, skipped or damaged
constexpr int ExitFailure = 1;  // something failed, was left out, skipped or found damaged
constexpr int ExitUsage = 2;    // unknown command or wrong arguments
constexpr int ExitBusy = 3;     // another run is writing the archive: nothing was changed

using Args = std::vector<std::string>;  // the arguments after the command name

struct Command {
    const char* name;
    const char* usage;  // the arguments, as the usage text shows them
    int (*run)(const Args& args);
};

int listCommand(const Args& args);
int testCommand(const Args& args);
int updateCommand(const Args& args);
int commentCommand(const Args& args);
int extractCommand(const Args& args);
int sfxCommand(const Args& args);
int repairCommand(const Args& args);

// An argument that starts with a drive letter and ":\" is a Windows path and
// is taken as it is; anything else is a host path (a relative one taken from
// the current folder) converted by the platform layer. Throws kv::Error when
// no drive holds the host path.
std::string windowsPath(const std::string& argument);

// Opens an archive for reading and checks its signature. Throws kv::Error with
// the program's message: the file does not exist, cannot be opened or read, or
// is not an archive of this format. The file is left at position 102.
std::unique_ptr<kv::File> openArchive(const std::string& windowsPath);

// Writes a message on standard error, a carriage return inside it as a line break.
void printError(const std::string& text);

// The terminal's Ui: every message goes to standard error as "Title : text"
// and is answered Ok (Yes when the box asks a question, No when it asks
// whether to replace something); progress shows nothing.
class CliUi : public kv::Ui {
  public:
    kv::Answer message(kv::MessageKind kind, const std::string& text, kv::Buttons buttons) override;
    void setLabel(kv::ProgressLabel, const std::string&) override {}
    void setOverallRange(int) override {}
    void setOverall(int) override {}
    void setFilePercent(int) override {}
    void pump() override {}
    bool cancelRequested() override { return false; }
    bool keepGoing() override { return true; }
};

}  // namespace kvr
