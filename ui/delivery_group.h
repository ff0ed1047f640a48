#pragma once
// The 16-bit pan-sharpening dialog's "Delivery" group: the result's format, the value marking
// no data, where the MS is placed on the pan (registration), and "Check alignment", which
// estimates the MS's offset before the run. The group only holds the controls; the dialog binds
// them to its job.

#include <QGroupBox>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lumesta {

struct RegisterChoice;

class DeliveryGroup : public QGroupBox {
public:
    explicit DeliveryGroup(QWidget* parent);

    QComboBox* FormatList() const { return m_format; }
    QComboBox* NoDataList() const { return m_noData; }
    QLineEdit* NoDataField() const { return m_noDataValue; }
    QComboBox* RegisterList() const { return m_register; }
    QLineEdit* DxField() const { return m_dx; }
    QLineEdit* DyField() const { return m_dy; }
    QPushButton* CheckButton() const { return m_check; }
    QLabel* AlignmentLabel() const { return m_alignment; }

    // The --register text the controls stand for ("auto", "off", "DX,DY"); empty while a
    // given offset is not two numbers.
    std::string RegisterText() const;
    // The --nodata text ("none", a number), "" for the files' own; nothing while the typed
    // value is not a number.
    bool NoDataText(std::string& text) const;
    // The --format text, "" for the default by the inputs.
    std::string FormatText() const;

    // Shows a job's choices (an unchanged text keeps its cursor).
    void ShowRegister(const RegisterChoice& choice);
    void ShowNoData(bool given, bool none, double value);
    void ShowFormat(const std::string& format);

private:
    QComboBox* m_format = nullptr;
    QComboBox* m_noData = nullptr;
    QLineEdit* m_noDataValue = nullptr;
    QComboBox* m_register = nullptr;
    QLineEdit* m_dx = nullptr;
    QLineEdit* m_dy = nullptr;
    QPushButton* m_check = nullptr;
    QLabel* m_alignment = nullptr;
};

}  // namespace lumesta
