#include "catalogue/LinkRecordVisitor.h"

#include "catalogue/CaptureCall.h"
#include "catalogue/ListingFormat.h"
#include "catalogue/RefreshState.h"
#include "catalogue/WorkingSet.h"
#include "platform/ProgramContext.h"
#include "platform/Trace.h"

#include <QString>

namespace vistrel::catalogue {

namespace {

QString text(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

void setStatus(platform::StatusSink &status, const QString &line)
{
    status.setPreviousStatus(status.status());
    status.setStatus(line);
}

} // namespace

std::string withoutExtension(std::string_view name)
{
    return std::string(name.substr(0, name.rfind('.')));
}

LinkRecordVisitor::LinkRecordVisitor(platform::ProgramContext &context, RefreshState &state, CaptureCall &capture,
                                     std::string root)
    : m_context(context),
      m_state(state),
      m_capture(capture),
      m_root(std::move(root)),
      m_mode(sortModeFromIndex(context.settings.sortBy()))
{
    if (m_root.empty() || m_root.back() != '/')
        m_root += '/';
}

WalkVisitor LinkRecordVisitor::visitor()
{
    return [this](const std::string &folder, const DirectoryEntry &entry) { return visit(folder, entry); };
}

std::string LinkRecordVisitor::relativePath(const std::string &folder) const
{
    return listing::relativeFolder(m_root, folder);
}

void LinkRecordVisitor::closeOpenFolder()
{
    if (m_state.openFolder == listing::kNoOpenFolder) {
        m_state.folderLinks.clear();
        return;
    }
    m_state.folderLinks.flushInto(m_state.listing, m_mode);
    m_state.listing.addLine(listing::kFolderEnd);
    m_state.openFolder = listing::kNoOpenFolder;
}

void LinkRecordVisitor::openFolder(const std::string &folder)
{
    closeOpenFolder();
    const std::string relative = relativePath(folder);
    m_state.listing.addLine(listing::folderStartLine(relative));
    m_state.openFolder = folder;
    m_state.menuOrder = loadMenuOrderTable(m_context.registry, relative);
}

WalkAnswer LinkRecordVisitor::visit(const std::string &folder, const DirectoryEntry &entry)
{
    if (m_context.flags.cancelRequested)
        return WalkAnswer::Stop;
    try {
        record(folder, entry);
    } catch (const std::bad_alloc &) {
        m_context.messages.show(platform::MessagePresenter::Kind::Error, QStringLiteral("no more ram"));
    } catch (const std::exception &e) {
        qCWarning(vistrelTrace) << "favourite" << text(entry.name) << "skipped:" << e.what();
    } catch (...) {
        qCWarning(vistrelTrace) << "favourite" << text(entry.name) << "skipped";
    }
    return WalkAnswer::Continue;
}

void LinkRecordVisitor::record(const std::string &folder, const DirectoryEntry &entry)
{
    platform::DiagnosticMemo &trace = m_context.trace;
    trace.add(QStringLiteral("Path = ") + text(folder));
    trace.add(QStringLiteral("File = ") + text(entry.name));
    trace.add(QStringLiteral("length of path = %1").arg(folder.size()));
    trace.add(QStringLiteral("length of name = %1").arg(entry.name.size()));
    trace.add(QStringLiteral("total = %1").arg(folder.size() + entry.name.size()));
    trace.add(QString(kTraceRuleLength, QLatin1Char('#')));
    trace.save();

    ++m_context.flags.fetchedCount;

    if (folder != m_state.openFolder)
        openFolder(folder);

    platform::StatusSink &status = m_context.status;
    status.setProgressPosition(status.progressPosition() + 1);

    const std::string description = withoutExtension(entry.name);
    std::string &link = m_state.currentLinkText;
    link.clear();
    listing::appendPiece(link, listing::kLinkStart);
    listing::appendPiece(link, listing::uniqueAttribute(folder + entry.name));
    listing::appendPiece(link, listing::kBrowser);
    listing::appendPiece(link, listing::sortOrderAttribute(m_state.menuOrder.orderOf(entry.name)));
    listing::appendPiece(link, listing::descriptionAttribute(description));

    setStatus(status, QStringLiteral("Trying ... ") + text(description));
    m_capture(folder, entry.name, false);
    setStatus(status, (m_context.flags.lastCaptureTimedOut ? QStringLiteral("TIMED OUT ... ")
                                                           : QStringLiteral("Completed ... ")) +
                          text(description));

    link += listing::kLinkEnd;
    // Parked as a copy of its own size, so the buffer holds no growth slack.
    m_state.folderLinks.add(m_keys.key(entry, m_mode, m_state.menuOrder), std::string(link));
    link.clear();
    trimWorkingSet();
}

} // namespace vistrel::catalogue
