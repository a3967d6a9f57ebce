#pragma once
// The program's icon, in every size the icon theme gets (16 to 256 pixels),
// from the resource built into the GUI base.
//
// installProgramIcon() makes it the application's window icon, which every
// window without an icon of its own (the main window, every dialog and
// message box) shows. The program entry calls it once, before any window.

#include <QIcon>

namespace kv {

QIcon programIcon();
void installProgramIcon();

}  // namespace kv
