#pragma once

#include "platform/DiagnosticMemo.h"
#include "platform/DisplayWriter.h"
#include "platform/MainFlags.h"
#include "platform/MessagePresenter.h"
#include "platform/PrivateTempFolder.h"
#include "platform/ProgramContext.h"
#include "platform/ProgramPaths.h"
#include "platform/RegistryFile.h"
#include "platform/SettingsReader.h"
#include "platform/StatusSink.h"

#include <QEvent>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QTimer;

namespace vistrel::platform {
class FolderMonitor;
}

namespace vistrel::catalogue {
class RefreshDriver;
}

namespace vistrel::server {
class DocumentHandlers;
class THttpServer;
}
namespace vistrel::pages {
class PageDiagnostics;
class PageSet;
}

namespace vistrel::app {

class DeferredLabel;
class LampWidget;
class TrayStatus;

// The private message that starts the first refresh once the event loop runs.
inline constexpr QEvent::Type kRefreshMessage = QEvent::Type(QEvent::User + 25);

// The main window. It owns every long-lived part of the program and holds the
// settings in its controls; the subsystems see it through the settings reader
// and status sink interfaces.
class TMain : public QWidget, public platform::SettingsReader, public platform::StatusSink
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 429;
    static constexpr int kClientHeight = 353;

    explicit TMain(const platform::ProgramPaths &paths,
                   std::unique_ptr<platform::MessagePresenter> messages = nullptr,
                   QWidget *parent = nullptr);
    ~TMain() override;

    // The work of the window's first showing: settings, server log, banner,
    // web server, pages, start page, optional refresh on start. Runs once.
    void FormShow();

    void LoadSettings();
    void SaveSettings();

    // Commands.
    void Button2Click();          // refresh
    void CancelRefresh();
    void SaveSettingsClick();
    void CloseConfigurationClick();
    void ShutdownClick();
    void ShowMainWindow();

    // Scheduling: the half-minute tick and the Favorites folder's change event.
    void Timer1Timer();
    void RxFolderMonitor1Change();
    int halfMinuteCounter() const;

    // Asks for a picture file and makes it the pages' background.
    void LoadBackgroundClick();
    // False, with a message, when the file is not a usable picture.
    bool LoadBackground(const QString &pictureFile);
    void InstructionsClick();
    // Opens the instructions once the first showing has started the server:
    // from the server when it runs, else the page's file.
    void setInstructionsAtStart(bool wanted) { m_instructionsAtStart = wanted; }
    // Adds the browsers' bookmarks to the Favorites folder, reports on the
    // display and refreshes once when anything was added.
    void ImportBookmarksClick();
    // Makes the local server the browser's start page; called once at start-up.
    void ClaimStartPage();

    // The status texts of the still and the busy tray icon, as of now.
    QString stillStatusText() const;
    QString busyStatusText() const;
    TrayStatus &tray() { return *m_tray; }

    platform::ProgramContext &context() { return m_context; }
    platform::MainFlags &flags() { return m_flags; }
    platform::DisplayWriter &display() { return m_display; }
    platform::DiagnosticMemo &trace() { return m_trace; }
    const platform::ProgramPaths &paths() const { return m_paths; }
    platform::MessagePresenter &messages() { return *m_messages; }

    // Runs the refresh; set once the catalogue is wired in.
    void setRefreshCommand(std::function<void()> command) { m_refreshCommand = std::move(command); }

    // SettingsReader
    bool autorefresh() const override;
    bool history() const override;
    int historyThreshold() const override;
    bool newPage() const override;
    bool startup() const override;
    bool autoStart() const override;
    bool timeRefresh() const override;
    int interval() const override;
    bool newOnly() const override;
    bool showCode() const override;
    bool homePage() const override;
    int fetchTimeout() const override;
    int sortBy() const override;
    bool displayHeader() const override;
    bool secure() const override;
    QString serverPort() const override;

    // StatusSink
    void setStatus(const QString &text) override;
    QString status() const override;
    void setPreviousStatus(const QString &text) override;
    QString previousStatus() const override;
    void setProgressMaximum(int maximum) override;
    void setProgressPosition(int position) override;
    int progressPosition() const override;
    void setLamp(platform::Lamp lamp) override;
    platform::Lamp lamp() const override;
    void setBusy(bool busy) override;
    void setRefreshControlsEnabled(bool enabled) override;
    void showStatusNow() override;
    void showNotice(const QString &text) override;

    // Server log (the display writer copies into it while open).
    void openServerLog();
    void closeServerLog();

    // The port the web server was last started on; saved as "Port".
    void setStartedPort(const QString &port) { m_startedPort = port; }
    // A port asked for on the command line: served this run, but the settings
    // file keeps its own "Port" until the user saves the settings.
    void setPortForThisRun(const QString &port) { m_portForThisRun = port; }

    // Starts the web server on the requested port, or on a fallback port when
    // that one needs administrator rights, and makes the port it got the
    // current one. Returns that port, or an empty text when the server could
    // not start (the error box has then been shown).
    QString startWebServer(const QString &requestedPort);

    // Web server page.
    void StartButtonClick();
    void StopButtonClick();
    server::DocumentHandlers &documentHandlers() { return *m_documents; }

signals:
    // The start-up steps that follow the banner (web server, pages, start page)
    // hang on this; it is emitted before the refresh-on-start message is posted.
    void firstShown();
    // Emitted when the program really ends (after the close steps).
    void programEnding();

protected:
    void closeEvent(QCloseEvent *event) override;
    void customEvent(QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    // Connects the subsystems (refresh, capture, pages, web server) to the window.
    void wireSubsystems();
    // The template files and first pages of the data folder.
    void writeStartupPages();
    // The web server, its handlers and the controls of its page.
    void setUpWebServer();
    QWidget *buildMainSetupPage();
    QWidget *buildWebServerPage();
    void writeStartupBanner();
    void ensureBackgroundPicture();
    void ensureFavoritesFolder();
    void openInstructionsAtStart();
    void finishProgram();
    void setUpDesktop();
    void buildTrayMenu();
    void setUpTray();
    // Back to the tray; without a notification area, to the task bar.
    void minimiseApplication();

    platform::ProgramPaths m_paths;
    std::unique_ptr<platform::MessagePresenter> m_messages;
    platform::DisplayWriter m_display;
    platform::DiagnosticMemo m_trace;
    platform::MainFlags m_flags;
    platform::RegistryFile m_registry;
    platform::PrivateTempFolder m_tempFolder;
    platform::ProgramContext m_context;

    TrayStatus *m_tray = nullptr;
    DeferredLabel *m_clientCountText = nullptr;
    std::function<void()> m_refreshCommand;
    std::unique_ptr<catalogue::RefreshDriver> m_refresh;
    std::unique_ptr<server::DocumentHandlers> m_documents;
    std::unique_ptr<pages::PageDiagnostics> m_pageDiagnostics;
    std::unique_ptr<pages::PageSet> m_pages;
    QString m_startedPort = QStringLiteral("80");
    // Said on the display after the banner, which clears it first.
    QStringList m_startNotices;
    bool m_instructionsAtStart = false;
    QString m_portForThisRun;
    QString m_savedPort; // the file's "Port" while a port for this run is in use
    bool m_closeAfterRefresh = false;
    bool m_inRefreshCommand = false; // the refresh driver keeps MainFlags::refreshRunning itself
    bool m_ending = false;
    bool m_importing = false;
    bool m_busy = false;

public:
    // Controls, named as the design names them (also their object names).
    QTabWidget *PageControl = nullptr;
    QCheckBox *cb_autorefresh = nullptr;
    QCheckBox *cb_History = nullptr;
    QSpinBox *RxSpinEdit2 = nullptr;
    QCheckBox *cb_newpage = nullptr;
    QCheckBox *cb_startup = nullptr;
    QCheckBox *cb_autostart = nullptr;
    QCheckBox *cb_timerefresh = nullptr;
    QSpinBox *RxSpinEdit1 = nullptr;
    QCheckBox *cb_newonly = nullptr;
    QCheckBox *cb_ShowCode = nullptr;
    QCheckBox *cb_homepage = nullptr;
    QCheckBox *cb_secure = nullptr;
    QSpinBox *RxSpinEdit3 = nullptr;
    QComboBox *sort_by = nullptr;
    QGroupBox *SettingsGroup = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label10 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    LampWidget *Shape1 = nullptr;
    QPushButton *Button2 = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *ShutdownButton = nullptr;
    QPushButton *BackgroundButton = nullptr;
    QPushButton *CloseConfigButton = nullptr;
    QPushButton *SaveSettingsButton = nullptr;
    QPushButton *ImportBookmarksButton = nullptr;
    QListWidget *ListBox1 = nullptr;
    QLineEdit *PortEdit = nullptr;
    QPushButton *StartButton = nullptr;
    QPushButton *StopButton = nullptr;
    QPushButton *ClearButton = nullptr;
    QCheckBox *DisplayHeaderCheckBox = nullptr;
    QCheckBox *WriteLogFileCheckBox = nullptr;
    QLabel *ClientCountLabel = nullptr;
    QPlainTextEdit *DisplayMemo = nullptr;
    server::THttpServer *HttpServer1 = nullptr;
    QTimer *Timer1 = nullptr;
    platform::FolderMonitor *RxFolderMonitor1 = nullptr;
    QMenu *PopupMenu1 = nullptr;
};

} // namespace vistrel::app
