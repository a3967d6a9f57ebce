#pragma once
// Where the program keeps what it writes at run time: the settings files
// (Korvelt.cfg, AutoSave.cfg) and the Script folder (selection scripts and the
// journal of the automatic runs). This is the one place that decides it; the
// window, the automatic run and the scheduler all ask here, so they find the
// same files.
//
//   1. KORVELT_HOME set: that folder, which is the program folder too.
//   2. A program folder this user may write (a build tree, a copy on a
//      stick): the program folder itself, Script\ inside it.
//   3. Otherwise (an installed program under a prefix the user cannot write):
//      the settings in $XDG_CONFIG_HOME/korvelt/ (default ~/.config/korvelt/)
//      and Script\ in $XDG_DATA_HOME/korvelt/ (default ~/.local/share/korvelt/).
//      A relative XDG value is ignored, as the base-directory rules say.
//
// In the third layout the two korvelt folders are created (mode 0700) when they
// are missing, so that the first write of a setting finds its folder. Nothing
// here throws.

#include <string>

namespace kv {

// What the choice is made from (host paths; empty when not set).
struct UserFolderInputs {
    std::string korveltHome;    // $KORVELT_HOME
    std::string programFolder;  // the executable's folder
    bool programFolderWritable = false;
    std::string xdgConfigHome;  // $XDG_CONFIG_HOME
    std::string xdgDataHome;    // $XDG_DATA_HOME
    std::string home;           // $HOME
};

// The chosen host folders, without a final slash; empty when none can be
// told (no HOME and no usable XDG value in the third layout).
struct UserFolderChoice {
    std::string settings;  // holds Korvelt.cfg and AutoSave.cfg
    std::string data;      // holds Script/
    bool perUser = false;  // the XDG layout (3 above)
};

// The rule above, on its inputs only.
UserFolderChoice ChooseUserFolders(const UserFolderInputs& inputs);

// The folder of Korvelt.cfg and AutoSave.cfg, as a Windows path ending in a
// backslash; the program folder when the per-user folder has no drive.
std::string SettingsFolder();

// The Script folder (selection scripts, the journal), as a Windows path ending
// in a backslash. It may not exist yet.
std::string ScriptFolder();

}  // namespace kv
