#pragma once
// The program's icon and its toolbar pictures, drawn at run time so that no image files need
// to travel with the executable.

#include <QIcon>
#include <QPixmap>

namespace lumesta {

// The program icon: a grey panchromatic half and a colour half meeting on the diagonal.
QIcon AppIcon();
// The program icon drawn at size x size pixels (for the PNG icons the package installs).
QPixmap AppIconPixmap(int size);

enum class ToolbarPicture { New, Open, Save, Cut, Copy, Paste, Print, About };
QIcon ToolbarIcon(ToolbarPicture picture);

}  // namespace lumesta
