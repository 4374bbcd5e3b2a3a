// Reading and writing the settings file: the settings live in the controls.
#include "app/SettingsFile.h"
#include "app/TMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QSpinBox>

#include <algorithm>
#include <limits>

namespace vistrel::app {

namespace {

const QString kWindow = QStringLiteral("WindowMain");
const QString kData = QStringLiteral("Data");
const QString kGeneral = QStringLiteral("General");

int toInt(long long v)
{
    return int(std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// Putting a number into a spin edit clamps it to the edit's bounds.
void putSpin(QSpinBox *spin, long long v)
{
    spin->setValue(int(std::clamp<long long>(v, spin->minimum(), spin->maximum())));
}

} // namespace

void TMain::LoadSettings()
{
    SettingsFile file;
    file.loadFile(m_paths.settingsPath);

    const QRect screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry()
                                                          : QRect(0, 0, 1024, 768);
    const int top = toInt(file.readInteger(kWindow, QStringLiteral("Top"), (screen.height() - height()) / 2));
    const int left = toInt(file.readInteger(kWindow, QStringLiteral("Left"), (screen.width() - width()) / 2));
    move(left, top);

    PortEdit->setText(file.readString(kData, QStringLiteral("Port"), QStringLiteral("80")));
    m_startedPort = PortEdit->text().trimmed();
    if (!m_portForThisRun.isEmpty()) {
        m_savedPort = m_startedPort;
        PortEdit->setText(m_portForThisRun);
    }
    DisplayHeaderCheckBox->setChecked(file.readBool(kData, QStringLiteral("DisplayHeader"), false));
    WriteLogFileCheckBox->setChecked(file.readBool(kData, QStringLiteral("LogToFile"), false));

    cb_autorefresh->setChecked(file.readBool(kGeneral, QStringLiteral("Autorefresh"), true));
    cb_History->setChecked(file.readBool(kGeneral, QStringLiteral("History"), true));
    cb_newpage->setChecked(file.readBool(kGeneral, QStringLiteral("NewPage"), true));
    cb_startup->setChecked(file.readBool(kGeneral, QStringLiteral("Startup"), true));
    cb_autostart->setChecked(file.readBool(kGeneral, QStringLiteral("AutoStart"), true));
    cb_timerefresh->setChecked(file.readBool(kGeneral, QStringLiteral("Time_refresh"), true));
    cb_newonly->setChecked(file.readBool(kGeneral, QStringLiteral("New_Only"), true));
    cb_ShowCode->setChecked(file.readBool(kGeneral, QStringLiteral("ShowCode"), false));
    cb_homepage->setChecked(file.readBool(kGeneral, QStringLiteral("HomePage"), false));

    putSpin(RxSpinEdit3, file.readInteger(kGeneral, QStringLiteral("Fetch_Timeout"), 60));
    putSpin(RxSpinEdit2, file.readInteger(kGeneral, QStringLiteral("History_threshhold"), 10));
    putSpin(RxSpinEdit1, file.readInteger(kGeneral, QStringLiteral("Interval"), 120));

    const long long sort = file.readInteger(kGeneral, QStringLiteral("SortBy"), 0);
    sort_by->setCurrentIndex(sort >= 0 && sort < sort_by->count() ? int(sort) : -1);

    m_flags.evenFileName = toInt(file.readInteger(kGeneral, QStringLiteral("EvenFileName"), 1));
}

void TMain::SaveSettings()
{
    SettingsFile file;
    file.writeInteger(kWindow, QStringLiteral("Top"), y());
    file.writeInteger(kWindow, QStringLiteral("Left"), x());
    file.writeInteger(kWindow, QStringLiteral("Width"), width());
    file.writeInteger(kWindow, QStringLiteral("Height"), height());

    QString dataFolder = m_paths.dataFolder;
    if (dataFolder.endsWith(QLatin1Char('/')))
        dataFolder.chop(1);
    file.write(kData, QStringLiteral("DocDir"), dataFolder);
    file.write(kData, QStringLiteral("DefaultDoc"), QStringLiteral("viewer.htm"));
    const bool keepFilePort = !m_portForThisRun.isEmpty() && m_startedPort == m_portForThisRun;
    file.write(kData, QStringLiteral("Port"), keepFilePort ? m_savedPort : m_startedPort);
    file.writeBool(kData, QStringLiteral("DisplayHeader"), DisplayHeaderCheckBox->isChecked());
    file.writeBool(kData, QStringLiteral("LogToFile"), WriteLogFileCheckBox->isChecked());

    file.writeBool(kGeneral, QStringLiteral("Autorefresh"), cb_autorefresh->isChecked());
    file.writeBool(kGeneral, QStringLiteral("History"), cb_History->isChecked());
    file.writeBool(kGeneral, QStringLiteral("AutoStart"), cb_autostart->isChecked());
    file.writeBool(kGeneral, QStringLiteral("NewPage"), cb_newpage->isChecked());
    file.writeBool(kGeneral, QStringLiteral("Startup"), cb_startup->isChecked());
    file.writeBool(kGeneral, QStringLiteral("Time_refresh"), cb_timerefresh->isChecked());
    file.writeBool(kGeneral, QStringLiteral("New_only"), cb_newonly->isChecked());
    file.writeBool(kGeneral, QStringLiteral("Showcode"), cb_ShowCode->isChecked());
    file.writeBool(kGeneral, QStringLiteral("HomePage"), cb_homepage->isChecked());
    file.writeInteger(kGeneral, QStringLiteral("Interval"), RxSpinEdit1->value());
    file.writeInteger(kGeneral, QStringLiteral("History_threshhold"), RxSpinEdit2->value());
    file.writeInteger(kGeneral, QStringLiteral("Fetch_Timeout"), RxSpinEdit3->value());
    file.writeInteger(kGeneral, QStringLiteral("EvenFileName"), m_flags.evenFileName);
    file.writeInteger(kGeneral, QStringLiteral("SortBy"), sort_by->currentIndex());

    if (!file.saveFile(m_paths.settingsPath))
        m_display.write(QStringLiteral("*** Unable to save settings to %1 ***").arg(m_paths.settingsPath));
}

} // namespace vistrel::app
