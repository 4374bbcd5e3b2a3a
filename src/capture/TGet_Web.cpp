#include "capture/TGet_Web.h"

#include "capture/BitmapFile.h"
#include "capture/BrowserLocator.h"
#include "capture/CaptionedPicture.h"
#include "capture/CaptureProblems.h"
#include "capture/CardThumbnailer.h"
#include "capture/ChromiumThumbnailer.h"
#include "capture/FileTypeIcon.h"
#include "capture/InternetShortcut.h"
#include "capture/LinkPieces.h"
#include "capture/PageImageName.h"
#include "capture/PreviewImage.h"
#include "capture/ProbeCodes.h"
#include "capture/PropertyReader.h"
#include "capture/RedirectionProbe.h"
#include "capture/ShellFolder.h"
#include "capture/ValueToText.h"
#include "platform/ProgramContext.h"
#include "platform/ShortcutWriter.h"
#include "platform/TextEncodings.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>

#include <cmath>
#include <exception>

namespace vistrel::capture {

namespace {

constexpr int kRequestedSize = 122;
constexpr int kColourDepth = 32;
constexpr std::uint32_t kExtractionFlags = IEIFLAG_ASYNC | IEIFLAG_ORIGSIZE; // 65

QString fromUtf8(const std::string &text)
{
    return QString::fromStdString(text);
}

// "temp" + the local date-time in units of 1/10000 day since 30 December 1899 + ".URL".
QString temporaryShortcutName()
{
    const QDateTime now = QDateTime::currentDateTime();
    const double days = double(QDate(1899, 12, 30).daysTo(now.date())) + now.time().msecsSinceStartOfDay() / 86400000.0;
    return QStringLiteral("temp%1.URL").arg(qint64(std::trunc(days * 10000)));
}

bool copyOver(const QString &from, const QString &to)
{
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return false;
    return replacePageImage(to, source.readAll());
}

} // namespace

TGet_Web::TGet_Web(CaptureJob &job, QObject *mainContext) : m_job(job), m_mainContext(mainContext) {}

TGet_Web::~TGet_Web()
{
    // Joined by the watchdog's owner before it goes; never freed while running.
    wait();
}

void TGet_Web::Execute()
{
    // The main thread runs GetInfo while the driver processes events; this
    // thread only waits for it. An exception of GetInfo ends the capture there.
    QMetaObject::invokeMethod(
        m_mainContext,
        [this] {
            try {
                GetInfo();
            } catch (const std::exception &e) {
                qCDebug(vistrelTrace) << "capture failed:" << e.what();
            } catch (...) {
                qCDebug(vistrelTrace) << "capture failed";
            }
            TidyUp();
            m_getInfoDone = true;
        },
        Qt::BlockingQueuedConnection);
}

void TGet_Web::TidyUp()
{
    if (m_tidied)
        return;
    m_tidied = true;
    qCDebug(vistrelTrace) << "in tidy up";
    m_extracted = Thumbnail();
    m_icon = QImage();
    m_extractor.reset();
    m_ownThumbnails.reset();
    if (!m_temporaryShortcut.isEmpty()) {
        qCDebug(vistrelTrace) << "deleteing";
        QFile::remove(m_temporaryShortcut);
        m_temporaryShortcut.clear();
        QCoreApplication::processEvents();
    }
    qCDebug(vistrelTrace) << "out tidy up";
}

void TGet_Web::GetInfo()
{
    getInfoSteps();
    TidyUp();
    qCDebug(vistrelTrace) << "out of Get Info";
}

void TGet_Web::getInfoSteps()
{
    platform::ProgramContext &ctx = m_job.context;
    CaptureProblems messages(ctx, Name);
    std::string &link = m_job.linkText;

    qCDebug(vistrelTrace) << "In Get Info" << "Path" << Path << "Name" << Name;
    QString path = Path;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    QCoreApplication::processEvents();

    // The probe has a client of its own: a request arriving while it waits
    // (a form post that fetches a title) never enters it.
    http::HttpClient client;
    client.setTimeoutSeconds(ctx.settings.fetchTimeout());
    client.setCancelCheck([&flags = ctx.flags] { return flags.cancelRequested; });
    bool portOk = false;
    const quint16 ownPort = ctx.settings.serverPort().toUShort(&portOk);
    RedirectionProbe probe(client, m_job.services.urlCache, portOk ? ownPort : 0);
    probe.setSecureSites(ctx.settings.secure());

    PreviewImage ownPreview;
    PreviewImage &preview = m_job.services.preview ? *m_job.services.preview : ownPreview;
    ThumbnailSource *thumbnails = m_job.services.thumbnails;
    if (!thumbnails) {
        const QString browser = findBrowser();
        if (browser.isEmpty())
            m_ownThumbnails = std::make_unique<CardThumbnailer>();
        else
            m_ownThumbnails = std::make_unique<ChromiumThumbnailer>(browser, ctx.tempFolder);
        thumbnails = m_ownThumbnails.get();
    }

    // The shortcut object, its properties and the probe.
    int code = 0;
    bool redirected = false;
    std::string url;
    InternetShortcut shortcut(m_job.services.urlCache);
    shortcut.load(path + Name);
    std::unique_ptr<PropertyStorage> storage;
    if (failed(shortcut.openPropertySet(FMTID_Intshcut, storage))) {
        messages.error(QStringLiteral("error FMTID_Intshcut"));
        return;
    }
    PropVariant value;
    readOneProperty(messages, storage.get(), PID_IS_URL, value);
    url = valueToText(value);
    qCDebug(vistrelTrace) << "Checking for redirection" << fromUtf8(url);
    code = probe.probe(url, false);
    redirected = probe.followRedirections(url);
    qCDebug(vistrelTrace) << "Checking for redirection ended" << redirected;

    appendPiece(link, precodePiece(code));
    for (const NamedProperty &property : kShortcutProperties) {
        readOneProperty(messages, storage.get(), property.id, value);
        appendPiece(link, shortcutPropertyPiece(property.name, valueToText(value)));
    }
    if (isReachableCode(code)) {
        std::unique_ptr<PropertyStorage> site;
        if (failed(shortcut.openPropertySet(FMTID_InternetSite, site))) {
            messages.error(QStringLiteral("error FMTID_InternetSite"));
            return;
        }
        for (const NamedProperty &property : kSiteProperties) {
            readOneProperty(messages, site.get(), property.id, value);
            appendPiece(link, sitePropertyPiece(property.name, valueToText(value)));
        }
    }
    appendPiece(link, visitsPiece(probe.visitCount(url)));

    // The favourite's folder and item, and its thumbnail extractor.
    ShellItem folderItem;
    if (failed(ShellFolder::parseFolderPath(path, folderItem))) {
        messages.error(QStringLiteral("error ParseDisplayName"));
        return;
    }
    std::unique_ptr<ShellFolder> folder;
    if (failed(ShellFolder::bindToObject(folderItem, folder))) {
        messages.error(QStringLiteral("error BindToObject"));
        return;
    }
    ShellItem item;
    HResult result = S_OK;
    if (redirected) {
        // The rewritten address gets a shortcut of its own, in the private
        // temporary folder rather than among the user's favourites.
        const QString name = temporaryShortcutName();
        m_temporaryShortcut = ctx.tempFolder.path() + name;
        std::unique_ptr<ShellFolder> temporary;
        ShellItem temporaryItem;
        if (ctx.tempFolder.isValid() && platform::writeShortcut(ctx.flags, m_temporaryShortcut, url)
            && !failed(ShellFolder::parseFolderPath(ctx.tempFolder.path(), temporaryItem))
            && !failed(ShellFolder::bindToObject(temporaryItem, temporary)))
            result = temporary->parseDisplayName(name, item);
        else
            result = E_FAIL;
    } else {
        result = folder->parseDisplayName(Name, item);
    }
    if (failed(result)) {
        messages.error(QStringLiteral("error ParseDisplayName 2"));
        return;
    }
    result = folder->getExtractImage(item, *thumbnails, m_extractor);
    if (failed(result)) {
        messages.error(QStringLiteral("error GetUIObjectOf"));
        messages.error(result == E_NOINTERFACE ? QStringLiteral("no interface") : hresultText(result));
        return;
    }
    QString location;
    result = m_extractor->getLocation(location, 0, QSize(kRequestedSize, kRequestedSize), kColourDepth, kExtractionFlags);
    if (result == E_PENDING)
        result = m_extractor->queryRunnableTask();
    else if (failed(result))
        messages.error(QStringLiteral("error GetLocation"));
    if (failed(result))
        messages.error(QStringLiteral("not pausable"));

    // Where the page image goes.
    const QString base = ctx.paths.dataFolder;
    const QString imagesFolder = IsHistory ? ctx.paths.historyImagesFolder() : ctx.paths.imagesFolder();
    ctx.trace.add(QStringLiteral("force directories = ") + imagesFolder);
    ctx.trace.save();
    QDir().mkpath(imagesFolder);
    const int generation = ctx.flags.evenFileName;
    const PageImageName name = pageImageName(base, Name, generation, IsHistory);
    ctx.trace.add(QStringLiteral("picture_path = ") + base);
    ctx.trace.add(QStringLiteral("picture_filename = ") + fromUtf8(name.relative));
    if (name.shortened) {
        ctx.trace.add(QStringLiteral("picture_pathEY = ") + base);
        ctx.trace.add(QStringLiteral("picture_filenameEY = ") + fromUtf8(name.relative));
    }
    ctx.trace.save();

    if (redirected)
        code = probe.probe(url, false);
    appendPiece(link, codePiece(code));

    const QString file = name.filePath(base);
    auto previousFile = [&] { return pageImageName(base, Name, generation - 1, IsHistory).filePath(base); };
    if (ctx.settings.newOnly() && (QFile::exists(file) || (QFile::exists(previousFile()) && copyOver(previousFile(), file)))) {
        // Only new favourites get a fresh picture; the others keep theirs.
    } else if (!isReachableCode(code)) {
        if (!QFile::exists(file) && QFile::exists(previousFile()))
            copyOver(previousFile(), file);
        if (ctx.settings.showCode() || !QFile::exists(file)) {
            if (!composeAndSave(code, base, name, preview, ctx.trace))
                return;
        }
    } else if (probe.isTextOrImage(url)) {
        const std::string title = probe.title(url);
        appendPiece(link, givenTitlePiece(title));
        ThumbnailRequest request;
        request.title = title;
        // The title's answer came from this very URL: for https, the
        // certificate the browser may trust is the one just verified.
        request.spkiPin = probe.spkiPin();
        request.timeout = std::chrono::seconds(std::max(1, ctx.settings.fetchTimeout()));
        request.cancelled = [&flags = ctx.flags] { return flags.cancelRequested; };
        const bool extracted = !failed(m_extractor->extract(request, m_extracted));
        bool saved = false;
        if (extracted) {
            preview.setImage(m_extracted.image);
            if (isBlankThumbnail(m_extracted)) {
                saved = composeAndSave(kCodeScriptedSite, base, name, preview, ctx.trace);
            } else {
                saved = saveBitmap(preview.image(), file);
                qCDebug(vistrelTrace) << "saving picture_filename";
            }
        }
        m_extracted = Thumbnail();
        if (!saved) {
            // No usable thumbnail: the error picture rather than whatever the
            // bitmap held.
            composeAndSave(kCodeFailed, base, name, preview, ctx.trace);
            // A page cut short by the user's cancel is no fault of the site's.
            if (!ctx.flags.cancelRequested)
                messages.error(QStringLiteral("problem"));
        }
    } else {
        m_icon = fileTypeIcon(QString::fromStdString(platform::filePattern(url)));
        QImage picture(kRequestedSize, kRequestedSize, QImage::Format_RGB888);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            painter.drawImage(QPoint((picture.width() - m_icon.width()) / 2, (picture.height() - m_icon.height()) / 2),
                              m_icon);
        }
        m_icon = QImage();
        preview.setImage(picture);
        qCDebug(vistrelTrace) << "saving icon filename";
        ctx.trace.add(QStringLiteral("picture_pathEZ = ") + base);
        ctx.trace.add(QStringLiteral("picture_filenameEZ = ") + fromUtf8(name.relative));
        ctx.trace.save();
        saveBitmap(preview.image(), file);
    }

    if (QFile::exists(file)) {
        qCDebug(vistrelTrace) << "if exists picture_filename";
        appendPiece(link, imagePiece(name.relative));
    } else {
        qCDebug(vistrelTrace) << "file doesn;t exist";
    }
}

} // namespace vistrel::capture
