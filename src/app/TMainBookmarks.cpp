// "Import Bookmarks": the browsers' bookmarks into the Favorites folder.
#include "app/TMain.h"

#include "catalogue/bookmarks/BookmarkImport.h"
#include "platform/SpecialFolders.h"

#include <QDir>
#include <QPushButton>

namespace vistrel::app {

namespace {

const QString kPrefix = QStringLiteral("Import Bookmarks: ");

} // namespace

void TMain::ImportBookmarksClick()
{
    if (m_importing)
        return;
    // The refresh walks the folder the import writes into; one at a time.
    if (m_flags.refreshRunning || m_inRefreshCommand) {
        m_display.write(kPrefix + QStringLiteral("a refresh is running; import again when it has finished."));
        return;
    }
    m_importing = true;
    ImportBookmarksButton->setEnabled(false);
    setStatus(QStringLiteral("Importing bookmarks..."));
    showStatusNow();

    QString error;
    const auto sources =
        catalogue::BookmarkSources::find(QString(), QDir::homePath(), platform::xdgConfigHome(), error);
    catalogue::ImportReport report;
    if (sources)
        report = catalogue::BookmarkImport(m_flags, m_tempFolder, m_paths.favoritesFolder).run(*sources);
    else
        report.error = error;
    for (const QString &line : report.lines())
        m_display.write(kPrefix + line);
    for (const QString &line : report.errors())
        m_display.write(kPrefix + line);
    setStatus(report.error.isEmpty() ? QStringLiteral("Imported %1 bookmarks as favourites.").arg(report.added())
                                     : report.error);

    ImportBookmarksButton->setEnabled(true);
    m_importing = false;
    // One refresh for the whole import; the shortcut writer kept the folder
    // monitor from asking for one per file.
    if (report.added() > 0)
        Button2Click();
}

} // namespace vistrel::app
