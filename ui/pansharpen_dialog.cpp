#include "ui/pansharpen_dialog.h"

#include <QHBoxLayout>
#include <QLabel>

#include "imaging/sensor_gains.h"
#include "ui/dialog_keys.h"
#include "ui/more_params_dialog.h"
#include "ui/text.h"

namespace lumesta {

PanSharpenDialog::PanSharpenDialog(RunCounters& counters, Host& host, QWidget* parent,
                                   const std::string& sensor)
    : PanSharpenJobDialog("Pan-Sharpening Module (For 16-bit data)", counters, host, parent)
{
    // The list keeps the width of "Optimisation 1"; its popup shows the longer names whole.
    MethodList()->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    MethodList()->setMinimumContentsLength(static_cast<int>(std::string("Optimisation 1").size()));
    // Choosing a method sets its default filter; "More >>" may choose another afterwards.
    connect(MethodList(), qOverload<int>(&QComboBox::activated), this, [this](int index) {
        ChooseMethod(m_job, MethodRowOf(m_methods[static_cast<std::size_t>(index)]));
    });
    AddSensorList(sensor);
    m_openedSensor = m_job.sensor;
}

void PanSharpenDialog::ChooseSensor(const std::string& sensor)
{
    if (!FindSensor(sensor)) return;
    m_job.sensor = sensor;
    ShowJob();
}

void PanSharpenDialog::ShowJob()
{
    PanSharpenJobDialog::ShowJob();
    if (m_sensor) m_sensor->setCurrentText(ToQt(m_job.sensor));
}

void PanSharpenDialog::ResetJob()
{
    m_job = PanSharpenJob();
    m_job.sensor = m_openedSensor;
    ShowJob();
}

// The Sensor list follows the Methods list in the Key Parameters row.
void PanSharpenDialog::AddSensorList(const std::string& sensor)
{
    QWidget* group = MethodList()->parentWidget();
    m_sensor = new QComboBox(group);
    for (const SensorGains& known : KnownSensors()) {
        m_sensor->addItem(known.name);
        if (sensor == known.name) m_sensor->setCurrentIndex(m_sensor->count() - 1);
    }
    m_job.sensor = KnownSensors()[static_cast<std::size_t>(m_sensor->currentIndex())].name;
    connect(m_sensor, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        m_job.sensor = KnownSensors()[static_cast<std::size_t>(index)].name;
    });
    auto* row = static_cast<QHBoxLayout*>(group->layout());
    const int at = row->indexOf(MethodList()) + 1;
    row->insertSpacing(at, 16);
    row->insertWidget(at + 1, new QLabel("Sensor", group));
    row->insertWidget(at + 2, m_sensor);
    SetTip(m_sensor, "The sensor whose MTF the detail-injection methods match", "--sensor NAME");
}

void PanSharpenDialog::OnMore()
{
    if (IsRunning()) return;
    MoreParamsDialog more(ProgramHost(), this);
    if (more.exec() == QDialog::Accepted) more.CopyTo(m_job);
}

}  // namespace lumesta
