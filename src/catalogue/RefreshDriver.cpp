#include "catalogue/RefreshDriver.h"
#include "catalogue/PassScope.h"

#include "catalogue/FolderWalk.h"
#include "catalogue/LinkRecordVisitor.h"
#include "catalogue/ListingFormat.h"
#include "catalogue/ScriptDebugger.h"
#include "platform/FileOperations.h"
#include "platform/Offline.h"
#include "platform/ProgramContext.h"
#include "platform/TextEncodings.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

#include <cstdio>
#include <stdexcept>

namespace vistrel::catalogue {

namespace {

// Clears the running mark however the refresh ends.
struct RunningMark
{
    bool &flag;
    explicit RunningMark(bool &f) : flag(f) { flag = true; }
    ~RunningMark() { flag = false; }
};

} // namespace

RefreshDriver::RefreshDriver(platform::ProgramContext &context)
    : m_context(context), m_capture(context, m_state.currentLinkText)
{
}

void RefreshDriver::captureCall(const QString &path, const QString &name, bool isHistory)
{
    m_capture(QFile::encodeName(path).toStdString(), QFile::encodeName(name).toStdString(), isHistory);
}

std::string RefreshDriver::generationPattern(int generation)
{
    char number[16];
    std::snprintf(number, sizeof number, "%4d", generation);
    return platform::hexEncode(number) + "*" + kImageExtension;
}

void RefreshDriver::deleteGeneration(const QString &imagesFolder, int generation)
{
    const QString pattern = imagesFolder + QString::fromStdString(generationPattern(generation));
    if (!platform::deleteByPattern(pattern, false))
        m_context.messages.show(platform::MessagePresenter::Kind::Error, QStringLiteral("Delete Failed"));
}

void RefreshDriver::Button2Click()
{
    platform::MainFlags &flags = m_context.flags;
    if (flags.refreshRunning)
        return; // the running refresh owns the working lists
    RunningMark running(flags.refreshRunning);

    bool debuggerDisabledHere = false;
    try {
        flags.cancelRequested = false;
        flags.captureProblems = 0;
        ++flags.evenFileName;
        if (!scriptDebuggerDisabled(m_context.registry))
            debuggerDisabledHere = setScriptDebuggerDisabled(m_context.registry, true);

        // Until the new listing is saved the current pages still show the previous
        // generation's images: then they are kept, and the number is given back.
        bool keepImages = false;
        const auto afterFavourites = [&] {
            keepImages = !m_listingSaved;
            if (keepImages)
                --flags.evenFileName;
            else
                deleteGeneration(m_context.paths.imagesFolder(), flags.evenFileName - 1);
        };
        const auto afterHistory = [&] {
            if (!keepImages)
                deleteGeneration(m_context.paths.historyImagesFolder(), flags.evenFileName - 1);
        };

        if (!flags.cancelRequested) {
            m_listingSaved = false;
            try {
                favouritesPass();
            } catch (...) {
                afterFavourites();
                throw; // and no history stage
            }
            afterFavourites();
        }
        if (!flags.cancelRequested && m_context.settings.history()) {
            try {
                if (m_historyPass)
                    m_historyPass();
            } catch (...) {
                afterHistory();
                throw;
            }
            afterHistory();
        }
    } catch (const std::exception &e) {
        qCWarning(vistrelTrace) << "refresh ended by an error:" << e.what();
    } catch (...) {
        qCWarning(vistrelTrace) << "refresh ended by an error";
    }

    try {
        m_context.trace.clear();
        m_state.clearWorkingLists();
        if (m_clearOtherLists)
            m_clearOtherLists();
        if (debuggerDisabledHere)
            setScriptDebuggerDisabled(m_context.registry, false);
        m_context.status.showStatusNow();
        if (flags.captureProblems > 0)
            m_context.status.showNotice(
                QStringLiteral("%1 problem(s) while capturing favourites; the server display and files.log name them.")
                    .arg(flags.captureProblems));
    } catch (...) {
        qCWarning(vistrelTrace) << "refresh clean-up failed";
    }
}

void RefreshDriver::favouritesPass()
{
    PassScope scope(m_context);
    if (platform::isOffline(m_context.registry))
        return;
    runFavouritesPass();
}

void RefreshDriver::runFavouritesPass()
{
    platform::ProgramContext &c = m_context;
    platform::MainFlags &flags = c.flags;
    c.status.setStatus(QStringLiteral("Initializing..."));
    c.status.setLamp(platform::Lamp::Red);

    const std::string root = QFile::encodeName(c.paths.favoritesFolder).toStdString();
    flags.fetchTotal = 0;
    walkFolderNames(root, kUrlMask, countingVisitor(flags.fetchTotal));
    c.status.setStatus(QStringLiteral("Found %1 web favourites.").arg(flags.fetchTotal));

    const QDateTime now = QDateTime::currentDateTime();
    flags.fetchedCount = 0;
    flags.refreshStartTime = listing::daysSince1899(now);
    c.status.setProgressMaximum(flags.fetchTotal);
    c.status.setProgressPosition(0);

    m_state.openFolder = listing::kNoOpenFolder;
    m_state.folderLinks.clear();
    m_state.listing.beginListing(listing::timeStamp(now), c.settings.homePage());
    c.trace.add(QStringLiteral("My Documents = ") + c.paths.documentsFolder);

    LinkRecordVisitor links(c, m_state, m_capture, root.empty() ? std::string(".") : root);
    const WalkResult walked = walkFolder(root, kUrlMask, links.visitor());
    const QString listingPath = c.paths.dataFolder + QLatin1String(kListingFileName);
    // A walk cut short by a cancel knows only part of the favourites: it never
    // replaces a listing, which keeps the pages and images it names. Only a
    // first listing is written from it.
    if (walked == WalkResult::Stopped && QFile::exists(listingPath))
        return;
    links.closeOpenFolder();
    m_state.listing.endListing();

    if (!m_state.listing.save(listingPath))
        throw std::runtime_error("cannot save " + listingPath.toStdString());
    m_listingSaved = true;

    if (m_generatePages)
        m_generatePages(m_state.listing.text());

    c.status.setPreviousStatus(c.status.status());
    c.status.setStatus(QStringLiteral("All Done"));
}

} // namespace vistrel::catalogue
