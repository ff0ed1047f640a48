#include "desktop/user_guide.h"

#include <QDir>
#include <QFileInfo>

namespace lumesta {

namespace {

constexpr char kGuideName[] = "User_Guide.pdf";

}  // namespace

QStringList UserGuidePlaces(const QString& programFolder)
{
    const QString folder = QDir::fromNativeSeparators(programFolder);
    const QString installed = QDir::cleanPath(folder + "../share/lumesta/" + kGuideName);
    const QString beside = QDir::cleanPath(folder + kGuideName);
    return {QDir::toNativeSeparators(installed), QDir::toNativeSeparators(beside)};
}

QString FindUserGuide(const QStringList& places)
{
    for (const QString& place : places) {
        if (QFileInfo(place).isFile()) return place;
    }
    return QString();
}

QString NoUserGuideText(const QStringList& places)
{
    static const char kNoUserGuide[] =
        "Sorry, cannot open the Lumesta User Guide with the desktop's PDF viewer. \nThe User "
        "Guide file (User_Guide.pdf) should be put in the same folder with the lumesta program.";
    QString text = QString(kNoUserGuide) + "\nLooked for it at:";
    for (const QString& place : places) text += "\n  " + place;
    return text;
}

}  // namespace lumesta
