#include "ui/delivery_group.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <charconv>
#include <cmath>

#include "fusion/registration/register_choice.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_parts.h"
#include "ui/text.h"

namespace lumesta {
namespace {

// The formats in the list's order; the first is the default the inputs decide.
const char* const kFormats[] = {"", "envi", "geotiff", "cog"};

// A finite decimal number with a point whatever the locale.
bool IsNumber(const QString& text)
{
    const std::string plain = ToEngine(text.trimmed());
    double value = 0;
    const char* begin = plain.data() + (plain.size() > 1 && plain[0] == '+');
    const auto [end, error] = std::from_chars(begin, plain.data() + plain.size(), value);
    return !plain.empty() && error == std::errc() && end == plain.data() + plain.size() &&
           std::isfinite(value);
}

QString NumberText(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? QString::fromLatin1(text, static_cast<int>(end - text))
                                : QString("0");
}

QLineEdit* NumberField(QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setMaximumWidth(80);
    return field;
}

}  // namespace

DeliveryGroup::DeliveryGroup(QWidget* parent) : QGroupBox("Delivery", parent)
{
    m_format = new QComboBox(this);
    m_format->addItems({"By the inputs", "ENVI", "GeoTIFF", "COG"});
    m_noData = new QComboBox(this);
    m_noData->addItems({"The files' own", "None", "Value"});
    m_noDataValue = NumberField(this);
    m_register = new QComboBox(this);
    m_register->addItems({"Auto", "Off", "Given"});
    m_dx = NumberField(this);
    m_dy = NumberField(this);
    m_dx->setPlaceholderText("DX (right)");
    m_dy->setPlaceholderText("DY (down)");
    m_check = new QPushButton("Check alignment", this);
    m_check->setAutoDefault(false);
    m_alignment = new QLabel(this);
    m_alignment->setWordWrap(true);
    m_alignment->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* grid = new QGridLayout(this);
    // Buddies and letters set here: a control disabled at the first show has no place in the
    // focus order the other labels take theirs from.
    auto* formatLabel = new QLabel("&Output format", this);
    formatLabel->setBuddy(m_format);
    auto* noDataLabel = new QLabel("No &data", this);
    noDataLabel->setBuddy(m_noData);
    auto* registerLabel = new QLabel("MS o&ffset", this);
    registerLabel->setBuddy(m_register);
    grid->addWidget(formatLabel, 0, 0);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(m_format);
    formatRow->addSpacing(16);
    formatRow->addWidget(noDataLabel);
    formatRow->addWidget(m_noData);
    formatRow->addWidget(m_noDataValue);
    formatRow->addStretch();
    grid->addLayout(formatRow, 0, 1);
    grid->addWidget(registerLabel, 1, 0);
    auto* registerRow = new QHBoxLayout;
    registerRow->addWidget(m_register);
    registerRow->addWidget(m_dx);
    registerRow->addWidget(m_dy);
    registerRow->addStretch();
    registerRow->addWidget(m_check);
    grid->addLayout(registerRow, 1, 1);
    grid->addWidget(m_alignment, 2, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    SetTip(m_format, "The fused MS file's format (one multi-band MS file only)",
           "--format envi|geotiff|cog");
    SetTip(m_noData, "Which value marks no data in the pan and the MS", "--nodata V|none");
    SetTip(m_noDataValue, "The value marking no data", "--nodata V");
    SetTip(m_register,
           "Where the MS is placed on the pan: its estimated offset, as it lies, or an offset "
           "given in pan pixels (right and down)",
           "--register auto|off|DX,DY");
    SetTip(m_dx, "The MS's offset to the right, in pan pixels", "--register DX,DY");
    SetTip(m_dy, "The MS's offset downward, in pan pixels", "--register DX,DY");
    SetTip(m_check,
           "Estimates the MS's offset on the pan now and shows it, block by block, over the pan "
           "in the viewer (Escape stops it)",
           "lumesta-cli register --grid 4");
}

std::string DeliveryGroup::RegisterText() const
{
    switch (m_register->currentIndex()) {
        case 0:
            return "auto";
        case 1:
            return "off";
        default:
            if (!IsNumber(m_dx->text()) || !IsNumber(m_dy->text())) return {};
            return ToEngine(m_dx->text().trimmed()) + "," + ToEngine(m_dy->text().trimmed());
    }
}

bool DeliveryGroup::NoDataText(std::string& text) const
{
    switch (m_noData->currentIndex()) {
        case 0:
            text.clear();
            return true;
        case 1:
            text = "none";
            return true;
        default:
            if (!IsNumber(m_noDataValue->text())) return false;
            text = ToEngine(m_noDataValue->text().trimmed());
            return true;
    }
}

std::string DeliveryGroup::FormatText() const
{
    const int index = m_format->currentIndex();
    return index > 0 ? kFormats[index] : "";
}

void DeliveryGroup::ShowRegister(const RegisterChoice& choice)
{
    m_register->setCurrentIndex(static_cast<int>(choice.mode));
    const bool given = choice.mode == RegisterMode::Given;
    if (given) {
        // A field being typed keeps its text while it reads as the job's number.
        if (!IsNumber(m_dx->text()) || m_dx->text().trimmed().toDouble() != choice.dx)
            ShowText(m_dx, NumberText(choice.dx));
        if (!IsNumber(m_dy->text()) || m_dy->text().trimmed().toDouble() != choice.dy)
            ShowText(m_dy, NumberText(choice.dy));
    }
    m_dx->setEnabled(given || m_register->currentIndex() == 2);
    m_dy->setEnabled(m_dx->isEnabled());
}

void DeliveryGroup::ShowNoData(bool given, bool none, double value)
{
    const int index = !given ? 0 : none ? 1 : 2;
    m_noData->setCurrentIndex(index);
    if (index == 2 && (!IsNumber(m_noDataValue->text()) ||
                       m_noDataValue->text().trimmed().toDouble() != value)) {
        ShowText(m_noDataValue, NumberText(value));
    }
    m_noDataValue->setEnabled(index == 2);
}

void DeliveryGroup::ShowFormat(const std::string& format)
{
    int index = 0;
    for (int i = 1; i < 4; ++i) {
        if (format == kFormats[i]) index = i;
    }
    m_format->setCurrentIndex(index);
}

}  // namespace lumesta
