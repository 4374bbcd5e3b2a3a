#include "app/BrowserIntegration.h"

#include "platform/AtomicFile.h"
#include "platform/MainFlags.h"
#include "platform/MessagePresenter.h"
#include "platform/RegistryFile.h"
#include "platform/ShortcutWriter.h"

#include <QFile>
#include <QProcess>

// Outside any namespace, as the resource system wants it.
static void initInstructionsResource()
{
    Q_INIT_RESOURCE(instructions);
}

namespace vistrel::app {

namespace {

const QString kHtmClassKey = QStringLiteral("HKEY_CLASSES_ROOT\\.htm");
const QString kOpenCommandSubkey = QStringLiteral("\\shell\\open\\command");
const QString kPlainLocalhost = QStringLiteral("http://localhost");
const QString kInstructionsResource = QStringLiteral(":/app/instructions.htm");
// Marks the page's version, so that a newer program replaces an older page.
const QByteArray kRevisionMarker = "<meta name=\"vistrel-instructions\" content=\"";

std::optional<QString> readDefaultText(const platform::RegistryFile &registry, const QString &key)
{
    const auto text = registry.readString(key, platform::RegistryFile::defaultValueName());
    if (!text || text->size() > kRegistryTextLimit)
        return std::nullopt;
    return text;
}

QByteArray revisionOf(const QByteArray &page)
{
    const qsizetype at = page.indexOf(kRevisionMarker);
    if (at < 0)
        return {};
    const qsizetype start = at + kRevisionMarker.size();
    const qsizetype end = page.indexOf('"', start);
    return end < 0 ? QByteArray() : page.mid(start, end - start);
}

} // namespace

QString localStartAddress(const QString &port)
{
    return QStringLiteral("http://localhost:") + port + QLatin1Char('/');
}

QString instructionsAddress(const QString &port)
{
    return localStartAddress(port) + QLatin1String(kInstructionsPage);
}

bool claimStartPage(platform::RegistryFile &registry, platform::MainFlags &flags, const QString &favoritesFolder,
                    const QString &port)
{
    const QString key = QLatin1String(kBrowserMainKey);
    if (!registry.keyExists(key))
        return false;
    const QString startPage = registry.readString(key, QLatin1String(kStartPageValue)).value_or(QString());
    const QString lower = startPage.toLower();
    if (lower == localStartAddress(port) || lower == kPlainLocalhost)
        return false;
    // The old start page is kept as a favourite; when that cannot be written the
    // start page stays as it is rather than being lost. An empty one is not
    // worth a favourite.
    if (!startPage.isEmpty()
        && !platform::writeShortcut(flags, favoritesFolder + QLatin1Char('/') + QLatin1String(kOldHomePageFile),
                                    startPage.toStdString()))
        return false;
    return registry.writeString(key, QLatin1String(kStartPageValue), localStartAddress(port));
}

std::optional<QString> defaultBrowserCommand(const platform::RegistryFile &registry)
{
    const auto htmClass = readDefaultText(registry, kHtmClassKey);
    if (!htmClass || htmClass->isEmpty())
        return std::nullopt;
    return readDefaultText(registry, QStringLiteral("HKEY_CLASSES_ROOT\\") + *htmClass + kOpenCommandSubkey);
}

QString browserCommandLine(const QString &command, const QString &address)
{
    qsizetype cut = command.indexOf(QStringLiteral("\"%1\""));
    if (cut < 0)
        cut = command.indexOf(QStringLiteral("%1"));
    const QString head = cut < 0 ? command : command.left(cut);
    return head + QLatin1Char(' ') + address;
}

bool launchCommandLine(const QString &commandLine)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return false;
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments);
}

void openInBrowser(const platform::RegistryFile &registry, platform::MessagePresenter &messages,
                   const QString &address)
{
    const auto command = defaultBrowserCommand(registry);
    if (!command)
        return;
    if (!launchCommandLine(browserCommandLine(*command, address)))
        messages.error(QLatin1String(kBrowserLaunchFailed));
}

void openInstructions(const platform::RegistryFile &registry, platform::MessagePresenter &messages,
                      const QString &port)
{
    openInBrowser(registry, messages, instructionsAddress(port));
}

QByteArray builtInInstructionsPage()
{
    initInstructionsResource();
    QFile resource(kInstructionsResource);
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    return resource.readAll();
}

bool writeInstructionsPage(const QString &dataFolder)
{
    const QByteArray page = builtInInstructionsPage();
    if (page.isEmpty())
        return false;
    const QString path = dataFolder + QLatin1String(kInstructionsPage);
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && revisionOf(existing.readAll()) == revisionOf(page))
        return true;
    return platform::writeFileAtomically(path, page);
}

} // namespace vistrel::app
