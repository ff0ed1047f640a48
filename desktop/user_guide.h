#pragma once
// Where Help > User Guide finds "User_Guide.pdf": installed, in share/lumesta beside the
// program's bin folder; in a build folder, beside the program itself.

#include <QString>
#include <QStringList>

namespace lumesta {

// The places looked at, in order, for a program in programFolder (ending in a separator).
QStringList UserGuidePlaces(const QString& programFolder);

// The first of places that holds a file, or an empty string.
QString FindUserGuide(const QStringList& places);

// The message when no place holds the guide: the program's long-standing text, then each
// place looked at on a line of its own.
QString NoUserGuideText(const QStringList& places);

}  // namespace lumesta
