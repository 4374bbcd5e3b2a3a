#include "app/TMain.h"

#include "app/DeferredLabel.h"
#include "app/LampWidget.h"
#include "app/QtMessagePresenter.h"
#include "app/ServerDisplayView.h"
#include "catalogue/RefreshDriver.h"
#include "pages/PageDiagnostics.h"
#include "pages/PageSet.h"
#include "app/TrayStatus.h"
#include "platform/Autostart.h"
#include "platform/AtomicFile.h"
#include "platform/JpegCodec.h"
#include "server/DocumentHandlers.h"
#include "server/LocalTimeText.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <cstdlib>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTextBlock>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

namespace vistrel::app {

namespace {

constexpr int kTimerInterval = 30000;
constexpr int kCancelPollMs = 100;
constexpr int kCancelWaitSlackSeconds = 5;

QCheckBox *checkBox(QWidget *parent, const char *name, const QString &caption, const QString &hint = QString())
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        box->setToolTip(hint);
    return box;
}

QSpinBox *spinEdit(QWidget *parent, const char *name, int low, int high)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(low, high);
    return spin;
}

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint = QString())
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        b->setToolTip(hint);
    return b;
}

QLabel *label(QWidget *parent, const char *name, const QString &text)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    return l;
}

} // namespace

TMain::TMain(const platform::ProgramPaths &paths, std::unique_ptr<platform::MessagePresenter> messages,
             QWidget *parent)
    : QWidget(parent),
      m_paths(paths),
      m_messages(messages ? std::move(messages) : std::make_unique<QtMessagePresenter>()),
      m_trace(paths.filesLogPath()),
      m_context{*this, *this, *m_messages, m_display, m_trace, m_flags, m_paths, m_registry, m_tempFolder}
{
    setObjectName(QStringLiteral("TMain"));
    setWindowTitle(QStringLiteral("Vistrel"));
    if (auto *qt = dynamic_cast<QtMessagePresenter *>(m_messages.get()))
        qt->setDisplaySink([this](const QString &line) { m_display.write(line); });

    buildControls();
    wireSubsystems();

    // Flags start cleared; the working lists belong to the refresh code that is
    // attached after construction.
    m_flags.shutdownRequested = false;
    m_flags.writingShortcut = false;

    setFixedSize(kClientWidth, kClientHeight);
    QDir().mkpath(m_paths.dataFolder);
    ensureBackgroundPicture();
    setUpDesktop();

    // Owned by the window; it shows the display lazily from now on.
    new ServerDisplayView(m_display, DisplayMemo, this);
}

TMain::~TMain() = default;

void TMain::buildControls()
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->addTab(buildMainSetupPage(), QStringLiteral("Main Setup"));
    PageControl->addTab(buildWebServerPage(), QStringLiteral("Web Server"));
    layout->addWidget(PageControl);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kTimerInterval);
    Timer1->setProperty("tag", 0);
    Timer1->start();
}

QWidget *TMain::buildMainSetupPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("MainSetup"));
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setVerticalSpacing(2);

    SettingsGroup = new QGroupBox(QStringLiteral("Settings"), page);
    SettingsGroup->setObjectName(QStringLiteral("SettingsGroup"));
    auto *g = new QGridLayout(SettingsGroup);
    g->setVerticalSpacing(1);
    cb_autorefresh = checkBox(SettingsGroup, "cb_autorefresh", QStringLiteral("Autorefresh if Favourites change"));
    cb_History = checkBox(SettingsGroup, "cb_History", QStringLiteral("Analyser History if visited at least"));
    RxSpinEdit2 = spinEdit(SettingsGroup, "RxSpinEdit2", 1, 1000);
    cb_newpage = checkBox(SettingsGroup, "cb_newpage", QStringLiteral("New Page per Folder"));
    cb_startup = checkBox(SettingsGroup, "cb_startup", QStringLiteral("Refresh on program start"));
    cb_autostart = checkBox(SettingsGroup, "cb_autostart", QStringLiteral("Start Vistrel with Windows"),
                            QStringLiteral("If this box is checked, then the Close button [X] will minimise the program."));
    cb_timerefresh = checkBox(SettingsGroup, "cb_timerefresh", QStringLiteral("Auto Refesh Every "));
    RxSpinEdit1 = spinEdit(SettingsGroup, "RxSpinEdit1", 1, 10000);
    cb_newonly = checkBox(SettingsGroup, "cb_newonly", QStringLiteral("Get only if a new site"));
    cb_ShowCode = checkBox(SettingsGroup, "cb_ShowCode", QStringLiteral("Display Error Code if page unavailable"));
    cb_homepage = checkBox(SettingsGroup, "cb_homepage", QStringLiteral("Home Page on header"));
    cb_secure = checkBox(SettingsGroup, "cb_secure", QStringLiteral("Capture secure sites"),
                         QStringLiteral("Probe, title and picture https favourites over a verified connection; "
                                        "unticked, they show as \"Secure Site\"."));
    RxSpinEdit3 = spinEdit(SettingsGroup, "RxSpinEdit3", 30, 1000);
    sort_by = new QComboBox(SettingsGroup);
    sort_by->setObjectName(QStringLiteral("sort_by"));
    sort_by->addItems({QStringLiteral("Alphabetically"), QStringLiteral("Using Internet Explorer Organizer"),
                       QStringLiteral("By Creation Date (Ascending)"), QStringLiteral("By Creation Date (Descending)"),
                       QStringLiteral("Randomly")});

    // One setting per line where the caption is long, two where both fit.
    for (QSpinBox *spin : {RxSpinEdit1, RxSpinEdit2, RxSpinEdit3})
        spin->setFixedWidth(64);
    g->setContentsMargins(6, 2, 6, 2);
    g->setColumnStretch(3, 1);
    int row = 0;
    g->addWidget(cb_autorefresh, row++, 0, 1, 4);
    auto inlineRow = [&](std::initializer_list<QWidget *> widgets) {
        auto *line = new QHBoxLayout;
        line->setSpacing(4);
        for (QWidget *w : widgets)
            line->addWidget(w);
        line->addStretch(1);
        g->addLayout(line, row++, 0, 1, 4);
    };
    inlineRow({cb_History, RxSpinEdit2, new QLabel(QStringLiteral("times"), SettingsGroup)});
    inlineRow({cb_timerefresh, RxSpinEdit1, new QLabel(QStringLiteral("minutes"), SettingsGroup)});
    inlineRow({new QLabel(QStringLiteral("Site Timeout"), SettingsGroup), RxSpinEdit3,
               new QLabel(QStringLiteral("   Sort Favorites "), SettingsGroup), sort_by});
    g->addWidget(cb_newpage, row, 0, 1, 2);
    g->addWidget(cb_startup, row++, 2, 1, 2);
    g->addWidget(cb_autostart, row, 0, 1, 2);
    g->addWidget(cb_newonly, row++, 2, 1, 2);
    g->addWidget(cb_ShowCode, row++, 0, 1, 4);
    g->addWidget(cb_homepage, row, 0, 1, 2);
    g->addWidget(cb_secure, row++, 2, 1, 2);
    grid->addWidget(SettingsGroup, 0, 0, 1, 4);

    Shape1 = new LampWidget(page);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setToolTip(QStringLiteral(
        "Status of Vistrel:\r\nGreen - Not Surfing\r\nRed - Surfing\r\nYellow - Cancelling current web page."));
    Label1 = label(page, "Label1", QString());
    Label10 = label(page, "Label10", QString());
    ProgressBar1 = new QProgressBar(page);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setMaximumHeight(12);

    auto *status = new QHBoxLayout;
    status->addWidget(Shape1);
    status->addWidget(Label1, 1);
    grid->addLayout(status, 1, 0, 1, 4);
    grid->addWidget(Label10, 2, 0, 1, 4);
    grid->addWidget(ProgressBar1, 3, 0, 1, 4);

    Button2 = button(page, "Button2", QStringLiteral("Manually Refresh"), QStringLiteral("Start Vistrel refreshing pages now."));
    CancelButton = button(page, "CancelButton", QStringLiteral("Cancel Refresh"),
                          QStringLiteral("Cancel Vistrel refreshing pages. This may take a few minutes as the current page will be finished first."));
    ShutdownButton = button(page, "ShutdownButton", QStringLiteral("&Shutdown Vistrel"),
                            QStringLiteral("Cancel what Vistrel is doing and then Close."));
    BackgroundButton = button(page, "BackgroundButton", QStringLiteral("Load Background graphic"),
                              QStringLiteral("Load a different image to the background of the web pages Vistrel creates."));
    CloseConfigButton = button(page, "CloseConfigButton", QStringLiteral("&Close Configuration Window"));
    SaveSettingsButton = button(page, "SaveSettingsButton", QStringLiteral("Save S&ettings"),
                                QStringLiteral("Save settings. Some changes may require a restart of the program."));
    ImportBookmarksButton = button(page, "ImportBookmarksButton", QStringLiteral("Import Bookmarks"),
                                   QStringLiteral("Add the bookmarks of Firefox, Chromium and Google Chrome to the Favorites folder."));
    auto *buttons = new QGridLayout;
    buttons->setSpacing(2);
    buttons->addWidget(Button2, 0, 0);
    buttons->addWidget(CancelButton, 0, 1);
    buttons->addWidget(SaveSettingsButton, 0, 2);
    buttons->addWidget(BackgroundButton, 1, 0, 1, 2);
    buttons->addWidget(ShutdownButton, 1, 2);
    buttons->addWidget(ImportBookmarksButton, 2, 0);
    buttons->addWidget(CloseConfigButton, 2, 1, 1, 2);
    grid->addLayout(buttons, 4, 0, 1, 4);

    // Holds the browser's menu order of the folder being walked.
    ListBox1 = new QListWidget(page);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setVisible(false);

    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { CancelRefresh(); });
    connect(ShutdownButton, &QPushButton::clicked, this, [this] { ShutdownClick(); });
    connect(CloseConfigButton, &QPushButton::clicked, this, [this] { CloseConfigurationClick(); });
    connect(SaveSettingsButton, &QPushButton::clicked, this, [this] { SaveSettingsClick(); });
    connect(ImportBookmarksButton, &QPushButton::clicked, this, [this] { ImportBookmarksClick(); });
    return page;
}

QWidget *TMain::buildWebServerPage()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("WebServer"));
    auto *grid = new QGridLayout(page);
    grid->setContentsMargins(4, 4, 4, 4);
    PortEdit = new QLineEdit(QStringLiteral("80"), page);
    PortEdit->setObjectName(QStringLiteral("PortEdit"));
    StartButton = button(page, "StartButton", QStringLiteral("&Start Web Server"));
    StopButton = button(page, "StopButton", QStringLiteral("St&op Web Server"));
    StopButton->setEnabled(false);
    ClearButton = button(page, "ClearButton", QStringLiteral("&Clear Log"));
    DisplayHeaderCheckBox = checkBox(page, "DisplayHeaderCheckBox", QStringLiteral("Display Header"));
    WriteLogFileCheckBox = checkBox(page, "WriteLogFileCheckBox", QStringLiteral("Write web server to log file"));
    ClientCountLabel = label(page, "ClientCountLabel", QStringLiteral("0"));
    DisplayMemo = new QPlainTextEdit(page);
    DisplayMemo->setObjectName(QStringLiteral("DisplayMemo"));
    DisplayMemo->setReadOnly(true);
    DisplayMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    DisplayMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DisplayMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    grid->addWidget(new QLabel(QStringLiteral("Web Server Port"), page), 0, 0);
    grid->addWidget(PortEdit, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Clients"), page), 0, 2);
    grid->addWidget(ClientCountLabel, 0, 3);
    grid->addWidget(StartButton, 1, 0);
    grid->addWidget(StopButton, 1, 1);
    grid->addWidget(ClearButton, 1, 2, 1, 2);
    grid->addWidget(DisplayHeaderCheckBox, 2, 0, 1, 2);
    grid->addWidget(WriteLogFileCheckBox, 2, 2, 1, 2);
    grid->addWidget(DisplayMemo, 3, 0, 1, 4);

    connect(ClearButton, &QPushButton::clicked, &m_display, &platform::DisplayWriter::clear);
    connect(WriteLogFileCheckBox, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            openServerLog();
        else
            closeServerLog();
        WriteLogFileCheckBox->setChecked(m_display.isLogOpen());
    });
    return page;
}

void TMain::ensureBackgroundPicture()
{
    const QString path = m_paths.dataFolder + QStringLiteral("_back.jpg");
    if (QFile::exists(path))
        return;
    platform::writeFileAtomically(path, platform::builtInBackgroundJpeg());
}

void TMain::FormShow()
{
    if (m_flags.settingsLoaded)
        return;
    std::srand(unsigned(QDateTime::currentMSecsSinceEpoch()));
    m_flags.settingsLoaded = true;
    LoadSettings();
    if (WriteLogFileCheckBox->isChecked())
        openServerLog();
    WriteLogFileCheckBox->setChecked(m_display.isLogOpen());
    m_clientCountText->setText(QStringLiteral("0"));
    m_clientCountText->sync();
    m_display.clear();
    writeStartupBanner();
    for (const QString &notice : std::as_const(m_startNotices))
        m_display.write(notice);
    m_startNotices.clear();
    emit firstShown();
    writeStartupPages();
    ClaimStartPage();
    openInstructionsAtStart();
    if (cb_startup->isChecked())
        QCoreApplication::postEvent(this, new QEvent(kRefreshMessage));
}

void TMain::writeStartupBanner()
{
    m_display.write(QStringLiteral("Vistrel HTTP client %1").arg(QStringLiteral(VISTREL_VERSION)));
    m_display.write(QStringLiteral("Using:"));
    m_display.write(QStringLiteral("   Qt socket layer QTcpSocket %1").arg(QString::fromLatin1(qVersion())));
    m_display.write(QStringLiteral("   Qt socket server QTcpServer %1").arg(QString::fromLatin1(qVersion())));
    m_display.write(QStringLiteral("   Vistrel HTTP server %1").arg(QStringLiteral(VISTREL_VERSION)));
    m_display.write(QStringLiteral("    Winsock:"));
    m_display.write(QStringLiteral("        Version %1.%2").arg(2).arg(2));
    m_display.write(QStringLiteral("        Linux TCP/IP sockets"));
    m_display.write(QStringLiteral("        Running"));
}

void TMain::openServerLog()
{
    if (m_display.isLogOpen())
        return;
    const QString line = QStringLiteral("[%1 Log file opened.]")
                             .arg(server::localTimeText(QDateTime::currentDateTime(), u"HH:NN:SS YYYY/MM/DD"));
    if (!m_display.openLog(m_paths.serverLogPath, line))
        m_display.write(QStringLiteral("*** Unable to open log file ***"));
}

void TMain::closeServerLog()
{
    if (!m_display.isLogOpen())
        return;
    // The closing line goes to the file only, as the flag is cleared first.
    const QString line = QStringLiteral("[%1 Log file Closed.]")
                             .arg(server::localTimeText(QDateTime::currentDateTime(), u"HH:NN:SS YYYY/MM/DD"));
    m_display.closeLogWithLine(line);
}

void TMain::Button2Click()
{
    // A refresh never nests inside another, and none starts once the program
    // is on its way out: a close waiting for a refresh ends the program next.
    if (m_flags.refreshRunning || m_inRefreshCommand || m_closeAfterRefresh || m_ending)
        return;
    m_inRefreshCommand = true;
    if (m_refreshCommand) {
        try {
            m_refreshCommand();
        } catch (...) {
            // The refresh absorbs its own errors; nothing escapes an event handler.
        }
    }
    m_inRefreshCommand = false;
    if (m_closeAfterRefresh)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TMain::CancelRefresh()
{
    m_flags.cancelRequested = true;
    if (Shape1->lamp() == platform::Lamp::Red)
        setLamp(platform::Lamp::Yellow);
    // Within a refresh this runs on top of it (a click served by one of its
    // waits): the capture in hand sees the flag and ends by itself, and waiting
    // here would only hold up the frames below.
    if (m_flags.refreshRunning || m_inRefreshCommand)
        return;
    // The watchdog ends every fetch within twice the site timeout. A flag still
    // set after that can only be waiting for a frame below this one to return.
    const QDeadlineTimer deadline(std::chrono::seconds(2 * fetchTimeout() + kCancelWaitSlackSeconds));
    while (m_flags.captureInProgress && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, kCancelPollMs);
        QThread::msleep(kCancelPollMs);
    }
}

void TMain::SaveSettingsClick()
{
    // Saving is the user's word that the port in use becomes the saved one.
    m_portForThisRun.clear();
    SaveSettings();
    m_messages->show(platform::MessagePresenter::Kind::Information,
                     QStringLiteral("Settings Saved.\r\nSome settings wil not take effect until the program is next \r\nstarted."));
}

void TMain::CloseConfigurationClick()
{
    minimiseApplication();
}

void TMain::ShutdownClick()
{
    m_flags.shutdownRequested = true;
    close();
}

void TMain::ShowMainWindow()
{
    showNormal();
    raise();
    activateWindow();
}

void TMain::closeEvent(QCloseEvent *event)
{
    // A close that already waited for a refresh has decided to end.
    const bool ending = m_closeAfterRefresh || !cb_autostart->isChecked() || m_flags.shutdownRequested;
    if (ending && (m_flags.refreshRunning || m_inRefreshCommand)) {
        // A close that arrives while a refresh pumps events must not pull anything
        // from under it: cancel, and close again once the refresh has returned.
        m_flags.cancelRequested = true;
        if (Shape1->lamp() == platform::Lamp::Red)
            setLamp(platform::Lamp::Yellow);
        m_closeAfterRefresh = true;
        event->ignore();
        return;
    }
    if (ending)
        CancelRefresh();
    SaveSettings();
    if (!ending) {
        event->ignore();
        minimiseApplication();
        return;
    }
    finishProgram();
    event->accept();
}

void TMain::finishProgram()
{
    if (m_ending)
        return;
    m_ending = true;
    closeServerLog();
    platform::updateStartupList(QStringLiteral("Vistrel"), m_paths.programFile, cb_autostart->isChecked());
    emit programEnding();
    QCoreApplication::quit();
}

void TMain::customEvent(QEvent *event)
{
    if (event->type() == kRefreshMessage) {
        Button2Click();
        return;
    }
    QWidget::customEvent(event);
}

void TMain::changeEvent(QEvent *event)
{
    // A minimised program shows only its tray icon.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, this, &QWidget::hide);
    QWidget::changeEvent(event);
}

// SettingsReader

bool TMain::autorefresh() const { return cb_autorefresh->isChecked(); }
bool TMain::history() const { return cb_History->isChecked(); }
int TMain::historyThreshold() const { return RxSpinEdit2->value(); }
bool TMain::newPage() const { return cb_newpage->isChecked(); }
bool TMain::startup() const { return cb_startup->isChecked(); }
bool TMain::autoStart() const { return cb_autostart->isChecked(); }
bool TMain::timeRefresh() const { return cb_timerefresh->isChecked(); }
int TMain::interval() const { return RxSpinEdit1->value(); }
bool TMain::newOnly() const { return cb_newonly->isChecked(); }
bool TMain::showCode() const { return cb_ShowCode->isChecked(); }
bool TMain::homePage() const { return cb_homepage->isChecked(); }
int TMain::fetchTimeout() const { return RxSpinEdit3->value(); }
int TMain::sortBy() const { return sort_by->currentIndex(); }
bool TMain::displayHeader() const { return DisplayHeaderCheckBox->isChecked(); }
bool TMain::secure() const { return cb_secure->isChecked(); }
QString TMain::serverPort() const { return m_startedPort; }

// StatusSink

void TMain::setStatus(const QString &text) { Label1->setText(text); }
QString TMain::status() const { return Label1->text(); }
void TMain::setPreviousStatus(const QString &text) { Label10->setText(text); }
QString TMain::previousStatus() const { return Label10->text(); }
void TMain::setProgressMaximum(int maximum) { ProgressBar1->setMaximum(qMax(0, maximum)); }
void TMain::setProgressPosition(int position) { ProgressBar1->setValue(position); }
int TMain::progressPosition() const { return ProgressBar1->value(); }
void TMain::setLamp(platform::Lamp lamp) { Shape1->setLamp(lamp); }
platform::Lamp TMain::lamp() const { return Shape1->lamp(); }
void TMain::setBusy(bool busy)
{
    m_busy = busy;
    m_tray->setBusy(busy);
}
void TMain::setRefreshControlsEnabled(bool enabled)
{
    Button2->setEnabled(enabled);
    if (enabled)
        Timer1->start();
    else
        Timer1->stop();
}
void TMain::showStatusNow() { m_tray->showStatusNow(); }
void TMain::showNotice(const QString &text) { m_tray->showNotice(text); }

} // namespace vistrel::app
