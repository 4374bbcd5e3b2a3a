#include "catalogue/HistoryPass.h"
#include "catalogue/PassScope.h"

#include "capture/RedirectionProbe.h"
#include "catalogue/FolderWalk.h"
#include "catalogue/HistoryAddressList.h"
#include "catalogue/HistoryKnownTitles.h"
#include "catalogue/HistorySite.h"
#include "catalogue/HistoryUrlCache.h"
#include "catalogue/LinkRecordVisitor.h"
#include "catalogue/ListingFormat.h"
#include "catalogue/RefreshDriver.h"
#include "catalogue/WorkingSet.h"
#include "pages/PageSet.h"
#include "platform/FileOperations.h"
#include "platform/Offline.h"
#include "platform/ProgramContext.h"
#include "platform/ShortcutWriter.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace vistrel::catalogue {

namespace {

constexpr double kShortcutStampUnitsPerDay = 10'000'000;

// A shortcut file of the private temporary folder, removed when it goes.
class TemporaryShortcut
{
public:
    explicit TemporaryShortcut(QString path) : m_path(std::move(path)) {}
    ~TemporaryShortcut() { remove(); }
    TemporaryShortcut(const TemporaryShortcut &) = delete;
    TemporaryShortcut &operator=(const TemporaryShortcut &) = delete;

    void remove()
    {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
        m_path.clear();
    }

private:
    QString m_path;
};

// "p" + the local date-time in units of 1/10,000,000 day since 30 December 1899.
QString shortcutPrefix()
{
    const double days = listing::daysSince1899(QDateTime::currentDateTime());
    return QStringLiteral("p%1").arg(qint64(std::trunc(days * kShortcutStampUnitsPerDay)));
}

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

} // namespace

HistoryPass::HistoryPass(platform::ProgramContext &context, RefreshDriver &driver, HistoryUrlCache &cache,
                         pages::PageSet &pages)
    : m_context(context), m_driver(driver), m_cache(cache), m_pages(pages)
{
}

void HistoryPass::report(const QString &line)
{
    m_context.display.write(line);
    m_context.trace.add(line);
}

void HistoryPass::run()
{
    PassScope scope(m_context);
    if (platform::isOffline(m_context.registry))
        return;
    runSteps();
}

void HistoryPass::runSteps()
{
    platform::ProgramContext &c = m_context;
    platform::MainFlags &flags = c.flags;
    RefreshState &state = m_driver.state();

    const QDateTime now = QDateTime::currentDateTime();
    flags.fetchedCount = 0;
    flags.refreshStartTime = listing::daysSince1899(now);
    c.status.setStatus(QStringLiteral("Initializing..."));
    c.status.setLamp(platform::Lamp::Red);
    state.openFolder = listing::kNoOpenFolder;
    state.listing.beginHistory(listing::timeStamp(now));

    bool portOk = false;
    m_ownPort = c.settings.serverPort().toUShort(&portOk);
    if (!portOk)
        m_ownPort = 0;

    // Last pass's pictures go to the trash, where the user can still get them back.
    const QString imagesFolder = c.paths.historyImagesFolder();
    QDir().mkpath(imagesFolder);
    if (!platform::deleteByPattern(imagesFolder + QStringLiteral("*.bmp"), true))
        qCDebug(vistrelTrace) << "some history images could not be moved to the trash";

    {
        HistoryKnownTitles known;
        const std::string root = QFile::encodeName(c.paths.favoritesFolder).toStdString();
        walkFolderNames(root, RefreshDriver::kUrlMask, [&known](const std::string &, const DirectoryEntry &entry) {
            known.addName(withoutExtension(entry.name));
            return WalkAnswer::Continue;
        });

        const platform::UrlCache &cache = m_cache.snapshot();
        const HistoryAddressList addresses(cache);
        const int found = int(std::min<std::size_t>(addresses.size(), std::size_t(std::numeric_limits<int>::max())));
        c.status.setStatus(QStringLiteral("Found %1 web histories.").arg(found));
        flags.fetchTotal = found;
        c.status.setProgressMaximum(found);
        c.status.setProgressPosition(0);

        const int threshold = c.settings.historyThreshold();
        QElapsedTimer sinceEvents;
        sinceEvents.start();
        addresses.forEachDistinct([&](const platform::UrlCacheEntry &entry) {
            if (sinceEvents.elapsed() >= kEventInterval.count()) {
                c.status.setProgressPosition(flags.fetchedCount);
                QCoreApplication::processEvents();
                sinceEvents.restart();
            }
            if (flags.cancelRequested)
                return false;
            ++flags.fetchedCount;
            if (entry.hitRate > std::uint32_t(std::max(threshold, 0))) {
                c.status.setProgressPosition(flags.fetchedCount);
                consider(entry, known);
                sinceEvents.restart();
            }
            return true;
        });
        c.status.setProgressPosition(flags.fetchedCount);
        trimWorkingSet();
    }

    c.status.setStatus(QStringLiteral("out of loop"));
    QCoreApplication::processEvents();

    state.listing.endHistory();
    QDir().mkpath(c.paths.dataFolder);
    const QString historyPath = c.paths.dataFolder + QLatin1String(kHistoryFileName);
    if (!state.listing.save(historyPath))
        throw std::runtime_error("cannot save " + historyPath.toStdString());

    m_pages.setPort(c.settings.serverPort().toUtf8());
    const pages::PageReport page = m_pages.writeHistoryPage(QByteArray::fromStdString(state.listing.text()));
    if (!page.ok())
        throw std::runtime_error("history.htm could not be written");

    c.status.setStatus(QStringLiteral("All Done"));
}

void HistoryPass::consider(const platform::UrlCacheEntry &entry, HistoryKnownTitles &known)
{
    const std::string site(history::siteAddress(entry.sourceName, m_cache.snapshot().userName()));
    const bool secure = m_context.settings.secure();
    if (!history::mayFetchTitle(site, m_ownPort, secure))
        return;
    // One address must not end the pass: what fails is left out and said.
    try {
        const std::string title = history::trimmedTitle(
            capture::fetchPageTitle(site, m_context.settings.fetchTimeout(), m_ownPort, secure));
        if (title.empty() || known.contains(title))
            return;
        std::vector<std::string> lines = suggest(site, title);
        for (std::string &line : lines)
            m_driver.state().listing.addLine(std::move(line));
        known.addTitle(title);
    } catch (const std::exception &e) {
        report(QStringLiteral("History suggestion %1 left out: %2").arg(text(site), QString::fromUtf8(e.what())));
    }
    m_driver.state().currentLinkText.clear();
}

std::vector<std::string> HistoryPass::suggest(const std::string &site, const std::string &title)
{
    platform::ProgramContext &c = m_context;
    c.status.setPreviousStatus(QString());
    c.status.setStatus(text(title));

    const QString shortcutPath = c.tempFolder.makeFile(shortcutPrefix(), QStringLiteral(".URL"));
    TemporaryShortcut shortcut(shortcutPath);
    if (shortcutPath.isEmpty() || !platform::writeShortcut(c.flags, shortcutPath, site)) {
        report(QStringLiteral("History suggestion %1 left out: no temporary shortcut could be written in %2")
                   .arg(text(site), c.tempFolder.path()));
        return {};
    }
    const QString name = shortcutPath.mid(shortcutPath.lastIndexOf(QLatin1Char('/')) + 1);
    QString folder = c.tempFolder.path();
    folder.chop(1);

    // Written into the listing only once whole, so the document stays well-formed
    // whatever happens on the way.
    std::vector<std::string> lines;
    lines.emplace_back(listing::kLinkStart);
    lines.emplace_back(listing::kBrowser);
    lines.push_back(listing::descriptionAttribute(title));
    qCDebug(vistrelTrace) << "temp name" << name;
    std::string &link = m_driver.state().currentLinkText;
    link.clear();
    m_driver.captureCall(folder, name, true);
    lines.push_back(std::move(link));
    link.clear();
    shortcut.remove();
    lines.emplace_back(listing::kLinkEnd);
    return lines;
}

} // namespace vistrel::catalogue
