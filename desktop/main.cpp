// The desktop program: one main window showing the run log; every tool is a dialog
// opened from its menu.

#include <QApplication>
#include <QStringList>

#include "desktop/icons.h"
#include "desktop/main_frame.h"
#include "desktop/viewer/viewer_dock.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Menus show their texts only; the pictures belong to the toolbar.
    QApplication::setAttribute(Qt::AA_DontShowIconsInMenus);
    QCoreApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationName("Lumesta");
    QApplication::setWindowIcon(lumesta::AppIcon());

    lumesta::MainFrame frame;
    // A log file (.txt) named on the command line is opened in place of the new, empty log;
    // other files are images for the viewer.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    if (!arguments.isEmpty() && arguments.first().endsWith(".txt", Qt::CaseInsensitive)) {
        if (!frame.OpenFile(arguments.takeFirst())) return 1;
    }
    frame.show();
    frame.Viewer().OpenPaths(arguments);
    return application.exec();
}
