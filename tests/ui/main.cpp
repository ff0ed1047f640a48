// Runs every dialog test class in one program, with the profile kept in a scratch folder.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

int RunProgressWindowTests(int argc, char** argv);
int RunParameterDialogTests(int argc, char** argv);
int RunPanSharpenDialogTests(int argc, char** argv);
int RunEtmDialogTests(int argc, char** argv);
int RunAssessDialogTests(int argc, char** argv);
int RunCombineDialogTests(int argc, char** argv);
int RunMainFrameTests(int argc, char** argv);
int RunQualityDialogTests(int argc, char** argv);
int RunViewerTests(int argc, char** argv);
int RunTileStoreTests(int argc, char** argv);
int RunRunCancelTests(int argc, char** argv);
int RunDialogKeysTests(int argc, char** argv);
int RunWorkerHostTests(int argc, char** argv);
int RunJobMemoryTests(int argc, char** argv);
int RunDeliveryControlsTests(int argc, char** argv);

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QCoreApplication::setOrganizationName("Local AppWizard-Generated Applications");
    QCoreApplication::setApplicationName("Lumesta");
    QTemporaryDir profile;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, profile.path());

    int failures = 0;
    failures += RunProgressWindowTests(argc, argv);
    failures += RunParameterDialogTests(argc, argv);
    failures += RunPanSharpenDialogTests(argc, argv);
    failures += RunEtmDialogTests(argc, argv);
    failures += RunAssessDialogTests(argc, argv);
    failures += RunCombineDialogTests(argc, argv);
    failures += RunMainFrameTests(argc, argv);
    failures += RunQualityDialogTests(argc, argv);
    failures += RunViewerTests(argc, argv);
    failures += RunTileStoreTests(argc, argv);
    failures += RunRunCancelTests(argc, argv);
    failures += RunDialogKeysTests(argc, argv);
    failures += RunWorkerHostTests(argc, argv);
    failures += RunJobMemoryTests(argc, argv);
    failures += RunDeliveryControlsTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
