#pragma once
// Shell routines: renaming a file, the per-user shell folders, shortcut files,
// opening a document with its program, and the help pages.
//
// Paths are Windows paths through platform(). Nothing here throws.
// LaunchDocument and ShowHelpPage are the only routines that show messages,
// always through the Ui they are given.

#include <string>

namespace kv {

class Ui;

// Renames one file. Refuses to replace anything: when the new path names an
// existing file or folder (compared without regard to case, so the file
// itself too) nothing changes. True when the file was renamed.
bool ShellRenameFile(const std::string& oldPath, const std::string& newPath);

// The per-user shell folder of that value name ("STARTUP", "Desktop",
// "Personal", ...; compared without regard to case). Empty when unknown.
std::string GetShellFolder(const std::string& valueName);

// The name a shortcut is written under: the name itself when its extension,
// upper-cased, is ".LNK", else the name + ".lnk".
std::string ShortcutFileName(const std::string& shortcutName);

// The file a shortcut is on this host. A shortcut is a desktop entry, and the
// desktop's autostart folder takes only files named *.desktop: the ".lnk" of
// ShortcutFileName (in any letter case) becomes ".desktop".
// "C:\Démarrage\Automate de Korvelt" gives "C:\Démarrage\Automate de Korvelt.desktop".
std::string ShortcutHostFileName(const std::string& shortcutName);

// Writes a shortcut that starts the target program, under
// ShortcutHostFileName(shortcutName). True when it was written.
bool CreateShortcut(const std::string& target, const std::string& shortcutName);

// True when the shortcut of that name exists (as ShortcutHostFileName, or as
// ShortcutFileName, the form a Windows installation would have left).
bool ShortcutExists(const std::string& shortcutName);

// Deletes the shortcut of that name in both forms. True when neither is left.
bool DeleteShortcut(const std::string& shortcutName);

// Opens the file with its associated program (an executable is started), with
// folder as working folder. File name and folder are cut to 254 bytes (never
// inside a character). On a result of 32 or below an error box with an OK
// button tells why (the file name is named for results 0, 2 and 8, the folder
// for 3); results without a text of their own show nothing.
void LaunchDocument(Ui& ui, const std::string& file, const std::string& folder);

// The text LaunchDocument shows for a result code; empty when it shows none.
std::string LaunchErrorText(int result, const std::string& file, const std::string& folder);

// Opens a page of the Help folder beside the program ("index.htm", ...) when
// helpAvailable (the program found Help\index.htm at start); otherwise the
// warning "Le fichier d'aide de Korvelt est introuvable" with an OK button.
void ShowHelpPage(const std::string& page, bool helpAvailable, Ui& ui);

}  // namespace kv
