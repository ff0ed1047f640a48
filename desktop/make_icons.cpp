// Build tool: writes the program icon as PNG files of the sizes the desktop's menus use
// (OUTPUT_FOLDER/SIZExSIZE/lumesta.png), drawn by the same code as the window icon.

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <cstdio>

#include "desktop/icons.h"

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {48, 128, 256}) {
        const QString sizeFolder = folder + QString("/%1x%1").arg(size);
        const QString path = sizeFolder + "/lumesta.png";
        if (!QDir().mkpath(sizeFolder) || !lumesta::AppIconPixmap(size).save(path, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
