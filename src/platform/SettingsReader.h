#pragma once

#include <QString>

namespace vistrel::platform {

// The settings as the main window's controls hold them right now. Subsystems read
// them through this interface so that they never depend on the window itself.
class SettingsReader
{
public:
    virtual ~SettingsReader() = default;

    virtual bool autorefresh() const = 0;      // cb_autorefresh
    virtual bool history() const = 0;          // cb_History
    virtual int historyThreshold() const = 0;  // RxSpinEdit2
    virtual bool newPage() const = 0;          // cb_newpage
    virtual bool startup() const = 0;          // cb_startup
    virtual bool autoStart() const = 0;        // cb_autostart
    virtual bool timeRefresh() const = 0;      // cb_timerefresh
    virtual int interval() const = 0;          // RxSpinEdit1, minutes
    virtual bool newOnly() const = 0;          // cb_newonly
    virtual bool showCode() const = 0;         // cb_ShowCode
    virtual bool homePage() const = 0;         // cb_homepage
    virtual int fetchTimeout() const = 0;      // RxSpinEdit3, whole seconds
    virtual int sortBy() const = 0;            // sort_by, -1 when nothing is selected
    virtual bool displayHeader() const = 0;    // DisplayHeaderCheckBox
    virtual bool secure() const = 0;           // cb_secure: probe and picture https sites
    // The port the web server was last started on, as text ("80" by default).
    virtual QString serverPort() const = 0;
};

// Plain values, for tests and tools that run without the main window.
// The defaults are those a first run gets.
struct SettingsValues : SettingsReader
{
    bool autorefreshValue = true;
    bool historyValue = true;
    int historyThresholdValue = 10;
    bool newPageValue = true;
    bool startupValue = true;
    bool autoStartValue = true;
    bool timeRefreshValue = true;
    int intervalValue = 120;
    bool newOnlyValue = true;
    bool showCodeValue = false;
    bool homePageValue = false;
    int fetchTimeoutValue = 60;
    int sortByValue = 0;
    bool displayHeaderValue = false;
    bool secureValue = false;
    QString serverPortValue = QStringLiteral("80");

    bool autorefresh() const override { return autorefreshValue; }
    bool history() const override { return historyValue; }
    int historyThreshold() const override { return historyThresholdValue; }
    bool newPage() const override { return newPageValue; }
    bool startup() const override { return startupValue; }
    bool autoStart() const override { return autoStartValue; }
    bool timeRefresh() const override { return timeRefreshValue; }
    int interval() const override { return intervalValue; }
    bool newOnly() const override { return newOnlyValue; }
    bool showCode() const override { return showCodeValue; }
    bool homePage() const override { return homePageValue; }
    int fetchTimeout() const override { return fetchTimeoutValue; }
    int sortBy() const override { return sortByValue; }
    bool displayHeader() const override { return displayHeaderValue; }
    bool secure() const override { return secureValue; }
    QString serverPort() const override { return serverPortValue; }
};

} // namespace vistrel::platform
