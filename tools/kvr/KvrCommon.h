#pragma once
// What the kvr commands share: exit codes, the command table entry, the rule
// that turns an argument into a Windows path, opening an archive, what goes to
// the terminal, and the terminal Ui. A command may throw kv::Error: main prints
// its message on standard error and exits with ExitFailure.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "util/ProgressMeter.h"
#include "util/Ui.h"

namespace kvr {

class ProgressLine;

// The exit statuses (docs/kvr.md has the table).
constexpr int ExitOk = 0;       // everything was done: nothing left out, skipped or damaged
constexpr int ExitFailure = 1;  // something failed, was left out, skipped or found damaged
constexpr int ExitUsage = 2;    // unknown command or wrong arguments
constexpr int ExitBusy = 3;     // another run is writing the archive: nothing was changed

using Args = std::vector<std::string>;  // the arguments after the command name

struct Command {
    const char* name;
    const char* usage;    // the arguments, as the usage text shows them
    const char* summary;  // one line for "kvr --help"
    const char* details;  // what "kvr COMMAND --help" adds below the usage line
    int (*run)(const Args& args);
    bool showsProgress;  // takes -q / --quiet
};

int listCommand(const Args& args);
int testCommand(const Args& args);
int updateCommand(const Args& args);
int commentCommand(const Args& args);
int extractCommand(const Args& args);
int sfxCommand(const Args& args);
int repairCommand(const Args& args);
int verifyCommand(const Args& args);

// An argument that starts with a drive letter and ":\" is a Windows path and
// is taken as it is; anything else is a host path (a relative one taken from
// the current folder) converted by the platform layer. Throws kv::Error when
// no drive holds the host path. From then on, messages name the path as the
// argument gave it (showPathAs).
std::string windowsPath(const std::string& argument);

// From now on, messages on standard error name windowsPath as typed: the user
// reads back what they wrote, not the drive map's spelling of it.
void showPathAs(const std::string& windowsPath, const std::string& typed);

// Opens an archive for reading and checks its signature. Throws kv::Error with
// the program's message: the file does not exist, cannot be opened or read, or
// is not an archive of this format. The file is left at position 102.
std::unique_ptr<kv::File> openArchive(const std::string& windowsPath);

// The control character at text[at], as its code (C0, DEL, or a C1 control
// U+0080..U+009F, two bytes in UTF-8), with its length in bytes; a length of
// 0 when there is none.
struct ControlCharacter {
    unsigned code = 0;
    std::size_t length = 0;
};
ControlCharacter controlAt(const std::string& text, std::size_t at);

// A text as the terminal may show it: every control character is written
// "\xHH" (a C1 one "\u00HH"), so a name cannot move the cursor, change
// colours or break a line.
std::string terminalSafe(const std::string& text);

// Writes a message on standard error, a carriage return inside it as a line
// break, other control characters made terminal-safe, paths as typed.
void printError(const std::string& text);

// The terminal's Ui: every message goes to standard error as "Title : text"
// and is answered Ok (Yes when the box asks a question, No when it asks
// whether to replace something). Progress shows on standard error when it is
// a terminal and -q was not given, on one line rewritten in place
// (ProgressLine).
class CliUi : public kv::Ui {
  public:
    CliUi();
    ~CliUi() override;

    // Shows the run's progress: rowBytes holds the size of each row the run
    // visits, in its order (setOverall(i) means row i is under way). Without
    // it only the files are counted.
    void trackProgress(const std::vector<int64_t>& rowBytes);
    // Erases the progress line for good (before the last line of a command).
    void endProgress();

    kv::Answer message(kv::MessageKind kind, const std::string& text, kv::Buttons buttons) override;
    void setLabel(kv::ProgressLabel, const std::string&) override {}
    void setOverallRange(int maximum) override;
    void setOverall(int value) override;
    void setFilePercent(int percent) override;
    void pump() override {}
    bool cancelRequested() override { return false; }
    bool keepGoing() override { return true; }

  private:
    void show();

    std::unique_ptr<ProgressLine> progress_;
    kv::ProgressMeter meter_;
};

}  // namespace kvr
