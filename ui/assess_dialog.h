#pragma once
// The window shared by the three assessment dialogs (semivariance, multi-resolution statistics,
// Haar wavelets): the "Input Image Name" group with its list, "..." button and size fields, the
// tool's own groups, and OK/Cancel. The dialog is a view of its tool's job record: each handler
// hands the user's choice to the engine (assess/assess_browse.h) and shows the job again.
//
// OK copies the fields into the job and runs it. A Finished run closes the dialog with OK, so
// the log view shows the new block; a Cancelled run, or a Stopped one (a validation message,
// "Check the file size of the input image.", a declined overwrite, or any other stop that ends
// the report with "Unsucessful"), keeps it open with its fields, for another go.

#include <string>
#include <vector>

#include "assess/assess_input.h"
#include "ui/tool_dialog.h"

class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;

namespace lumesta {

class AssessDialog : public ToolDialog {
public:
    // "..." of the input group: the "Open File" chooser, then OnInputChosen.
    void OnBrowseInput();
    // The input chosen: the tool's input browse (header, list, size, output names).
    void OnInputChosen(const QString& path);
    // The input list's selection changed by the user.
    void OnInputSelected(int entry);

    // OK: runs the job (see above). Refused while a field holds no whole number ("Please
    // enter an integer.") or a run is going on.
    void accept() override;

    QComboBox* InputList() const { return m_inputList; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* HeightField() const { return m_height; }

protected:
    // Makes the input group, holding the size fields when sizeInInputGroup, otherwise with them
    // on a line below it (made first, so that the focus starts there and Tab goes down).
    AssessDialog(const QString& title, bool sizeInInputGroup, RunCounters& counters, Host& host,
                 QWidget* parent);

    // Lays the window out: the input part, then toolGroups, then OK and Cancel; shows the job.
    void LayOut(const std::vector<QWidget*>& toolGroups);
    // A field for a count of the tool (a lag, a level): any 32-bit integer, so that the run
    // can refuse 0 and negative ones with its own message. Edits are taken at once.
    QLineEdit* MakeCountField(QWidget* parent);
    // An editable path field; edits are taken at once.
    QLineEdit* MakePathField(QWidget* parent);

    // Shows the whole job: the input part, then the tool's fields.
    void ShowJob();
    void ShowJobState() override { ShowJob(); }

    // The tool's side.
    virtual AssessInput& Input() = 0;
    virtual bool BrowseInput(const std::string& path) = 0;
    virtual RunOutcome RunJob() = 0;
    // Copies the tool's field contents into the job.
    virtual void TakeToolFields() = 0;
    virtual void ShowToolFields() = 0;
    // The tool's integer fields, checked on OK after the size fields.
    virtual std::vector<QLineEdit*> CountFields() const = 0;

private:
    QGroupBox* MakeInputGroup(bool withSize);
    QHBoxLayout* MakeSizeFields(QWidget* parent);
    // Copies every field into the job, as any edit of one does.
    void TakeFields();

    QGroupBox* m_inputGroup = nullptr;
    QHBoxLayout* m_sizeRow = nullptr;  // below the input group; null when inside it
    QComboBox* m_inputList = nullptr;
    QPushButton* m_inputBrowse = nullptr;
    QLineEdit* m_width = nullptr;
    QLineEdit* m_height = nullptr;
};

}  // namespace lumesta
