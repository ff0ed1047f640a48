// The desktop program: one main window showing the run log; every tool is a modal dialog
// opened from its menu.

#include <QApplication>
#include <QStringList>

#include "desktop/icons.h"
#include "desktop/main_frame.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Menus show their texts only; the pictures belong to the toolbar.
    QApplication::setAttribute(Qt::AA_DontShowIconsInMenus);
    QCoreApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationName("Lumesta");
    QApplication::setWindowIcon(lumesta::AppIcon());

    lumesta::MainFrame frame;
    // A log file named on the command line is opened in place of the new, empty log.
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() > 1 && !frame.OpenFile(arguments.at(1))) return 1;
    frame.show();
    return application.exec();
}
