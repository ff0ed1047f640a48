#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

#include "tests/support/fake_host.h"
#include "ui/more_params_dialog.h"
#include "ui/stretch_params_dialog.h"

namespace lumesta::testing {
namespace {

std::array<bool, 4> BandBoxes(const MoreParamsDialog& dialog, bool enabled = false)
{
    std::array<bool, 4> state{};
    for (int band = 0; band < 4; ++band) {
        state[band] = enabled ? dialog.BandBox(band)->isEnabled() : dialog.BandBox(band)->isChecked();
    }
    return state;
}

void ClearField(QSpinBox* field)
{
    field->findChild<QLineEdit*>()->clear();
}

}  // namespace

class ParameterDialogTest : public QObject {
    Q_OBJECT

private slots:
    void NoneClearsAndDisablesTheBandsAndAFilterResetsThem()
    {
        FakeHost host;
        MoreParamsDialog dialog(host, nullptr);
        QCOMPARE(dialog.windowTitle(), QString("More Paramaters ..."));
        dialog.BandBox(kBlue)->setChecked(true);
        QTest::mouseClick(dialog.FilterButton(FilterType16::None), Qt::LeftButton);
        QCOMPARE(BandBoxes(dialog), (std::array<bool, 4>{false, false, false, false}));
        QCOMPARE(BandBoxes(dialog, true), (std::array<bool, 4>{false, false, false, false}));
        QTest::mouseClick(dialog.FilterButton(FilterType16::Detail), Qt::LeftButton);
        QCOMPARE(BandBoxes(dialog), (std::array<bool, 4>{false, true, true, false}));
        QCOMPARE(BandBoxes(dialog, true), (std::array<bool, 4>{true, true, true, true}));

        PanSharpenJob job;
        dialog.AmountField(kRed)->setValue(30);
        dialog.CopyTo(job);
        QCOMPARE(job.filterType, FilterType16::Detail);
        QCOMPARE(job.colourAmounts, (std::array<int, 3>{0, 0, 30}));
    }

    // An empty field is refused with its range and the dialog stays open.
    void EmptyFieldsAreRefusedAndTheDialogStaysOpen()
    {
        FakeHost host;
        MoreParamsDialog more(host, nullptr);
        CStretchParamsDlg stretch(host, nullptr);
        more.show();
        stretch.show();
        ClearField(more.AmountField(kGreen));
        ClearField(stretch.RightField(kGreen));
        more.accept();
        stretch.accept();
        QCOMPARE(more.result(), int(QDialog::Rejected));
        QVERIFY(more.isVisible() && stretch.isVisible());
        QCOMPARE(host.Messages(), (std::vector<std::string>{"Please enter an integer between 0 and 30.",
                                                            "Please enter an integer between 1 and 20."}));
    }
};

}  // namespace lumesta::testing

int RunParameterDialogTests(int argc, char** argv)
{
    lumesta::testing::ParameterDialogTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "parameter_dialogs_test.moc"
