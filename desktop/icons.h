#pragma once
// The program's icon and its toolbar pictures, drawn at run time so that no image files need
// to travel with the executable.

#include <QIcon>

namespace lumesta {

// The program icon: a grey panchromatic half and a colour half meeting on the diagonal.
QIcon AppIcon();

enum class ToolbarPicture { New, Open, Save, Cut, Copy, Paste, Print, About };
QIcon ToolbarIcon(ToolbarPicture picture);

}  // namespace lumesta
