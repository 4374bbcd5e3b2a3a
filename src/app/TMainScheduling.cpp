// When refreshes start, the commands of the tray menu and the settings page.
#include "app/BackgroundPicture.h"
#include "app/BrowserIntegration.h"
#include "app/QtMessagePresenter.h"
#include "app/TMain.h"
#include "app/TrayStatus.h"
#include "platform/FolderMonitor.h"
#include "server/http/THttpServer.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <QFileDialog>
#include <QImageReader>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace vistrel::app {

namespace {

constexpr const char *kCounterProperty = "tag";

QAction *menuCommand(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

void TMain::setUpDesktop()
{
    buildTrayMenu();
    setUpTray();

    connect(Timer1, &QTimer::timeout, this, &TMain::Timer1Timer);
    connect(BackgroundButton, &QPushButton::clicked, this, [this] { LoadBackgroundClick(); });

    ensureFavoritesFolder();
    RxFolderMonitor1 = new platform::FolderMonitor(this);
    RxFolderMonitor1->setObjectName(QStringLiteral("RxFolderMonitor1"));
    connect(RxFolderMonitor1, &platform::FolderMonitor::changed, this, &TMain::RxFolderMonitor1Change);
    RxFolderMonitor1->setFolder(m_paths.favoritesFolder);
    RxFolderMonitor1->setActive(true);

    if (!writeInstructionsPage(m_paths.dataFolder))
        m_display.write(QStringLiteral("*** Unable to write %1 ***").arg(QLatin1String(kInstructionsPage)));
}

void TMain::buildTrayMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    // Queued, so that a refresh started from the menu does not run inside the
    // menu's own event handling.
    const auto queued = Qt::QueuedConnection;
    connect(menuCommand(PopupMenu1, "RefreshCommand", QStringLiteral("Manually &Refresh")), &QAction::triggered, this,
            [this] { Button2Click(); }, queued);
    connect(menuCommand(PopupMenu1, "CancelRefreshCommand", QStringLiteral("C&ancel Refresh")), &QAction::triggered,
            this, [this] { CancelRefresh(); }, queued);
    connect(menuCommand(PopupMenu1, "ImportBookmarksCommand", QStringLiteral("&Import Bookmarks")), &QAction::triggered,
            this, [this] { ImportBookmarksClick(); }, queued);
    PopupMenu1->addSeparator();
    connect(menuCommand(PopupMenu1, "ConfigureCommand", QStringLiteral("&Configure")), &QAction::triggered, this,
            [this] { ShowMainWindow(); }, queued);
    PopupMenu1->addSeparator();
    connect(menuCommand(PopupMenu1, "InstructionsCommand", QStringLiteral("Instructions")), &QAction::triggered, this,
            [this] { InstructionsClick(); }, queued);
    PopupMenu1->addSeparator();
    connect(menuCommand(PopupMenu1, "CloseCommand", QStringLiteral("C&lose")), &QAction::triggered, this,
            [this] { ShutdownClick(); }, queued);
}

int TMain::halfMinuteCounter() const
{
    return Timer1->property(kCounterProperty).toInt();
}

void TMain::Timer1Timer()
{
    // The counter stands still while a refresh runs, and no refresh nests.
    if (m_flags.refreshRunning || m_inRefreshCommand)
        return;
    if (m_flags.changePending)
        Button2Click();
    const int counter = halfMinuteCounter() + 1;
    Timer1->setProperty(kCounterProperty, counter);
    if (cb_timerefresh->isChecked() && RxSpinEdit1->value() < counter / 2) {
        Timer1->setProperty(kCounterProperty, 0);
        Button2Click();
    }
}

void TMain::RxFolderMonitor1Change()
{
    if (cb_autorefresh->isChecked() && !m_flags.writingShortcut)
        m_flags.changePending = true;
}

void TMain::minimiseApplication()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void TMain::LoadBackgroundClick()
{
    // Nobody could answer the dialog without a display.
    if (!QtMessagePresenter::interactive())
        return;
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    QFileDialog dialog(this, QStringLiteral("Select Image File"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("jpg"));
    dialog.setNameFilters({QStringLiteral("Pictures (%1)").arg(patterns.join(QLatin1Char(' '))),
                           QStringLiteral("All files (*)")});
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    LoadBackground(dialog.selectedFiles().first());
}

bool TMain::LoadBackground(const QString &pictureFile)
{
    QString why;
    if (installBackgroundPicture(pictureFile, m_paths.dataFolder, &why))
        return true;
    m_messages->error(QStringLiteral("Unable to use %1 as the background picture:\r\n%2").arg(pictureFile, why));
    return false;
}

void TMain::InstructionsClick()
{
    openInstructions(m_registry, *m_messages, serverPort());
}

void TMain::openInstructionsAtStart()
{
    if (!m_instructionsAtStart)
        return;
    m_instructionsAtStart = false;
    if (HttpServer1->IsListening())
        InstructionsClick();
    else
        openInBrowser(m_registry, *m_messages,
                      QUrl::fromLocalFile(m_paths.dataFolder + QLatin1String(kInstructionsPage)).toString());
}

// A Linux desktop has no Favorites folder of its own; an empty one gives the
// folder monitor and the editor something to work on from the start.
void TMain::ensureFavoritesFolder()
{
    const QString folder = m_paths.favoritesFolder;
    if (QFileInfo::exists(folder))
        return;
    if (QDir().mkpath(folder))
        m_startNotices << QStringLiteral("Created the empty Favorites folder %1").arg(folder);
    else
        m_startNotices << QStringLiteral("*** Unable to create the Favorites folder %1 ***").arg(folder);
}

void TMain::ClaimStartPage()
{
    claimStartPage(m_registry, m_flags, m_paths.favoritesFolder, serverPort());
}

} // namespace vistrel::app
