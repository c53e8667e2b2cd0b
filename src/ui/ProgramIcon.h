#pragma once
// The program's icon, built into the program so every window shows it
// wherever the program runs, installed or not.
#include <QIcon>

namespace tavisk::ui {

// The icon of the installed theme when there is one, else the built-in one.
QIcon ProgramIcon();

}  // namespace tavisk::ui
