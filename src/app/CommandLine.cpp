#include "app/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QRegularExpression>

namespace vistrel::app {

namespace {

const QString kDescription = QStringLiteral(
    "Turns a folder of Internet shortcut favourites (.url files) into web pages of page\n"
    "thumbnails, served by its own web server, and lives in the system tray.\n"
    "Without options it starts (or shows the copy already running).");

// The usage line names the program as it was called, which the parser cannot
// know before an application object exists.
QString usageName(const QStringList &arguments)
{
    const QString name = arguments.isEmpty() ? QString() : QFileInfo(arguments.first()).fileName();
    return name.isEmpty() ? QStringLiteral("vistrel") : name;
}

bool validPort(const QString &text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    const int value = text.toInt();
    return value >= CommandLine::kLowestPort && value <= CommandLine::kHighestPort;
}

} // namespace

QString CommandLine::versionText()
{
    return QStringLiteral("vistrel %1").arg(QStringLiteral(VISTREL_VERSION));
}

CommandLine CommandLine::parse(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(kDescription);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the program's version and exit."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Serve the pages on port N (1 to 65535) for this run only; the saved "
                       "Web Server Port stays as it is unless you save the settings."),
        QStringLiteral("N"));
    const QCommandLineOption import(
        QStringLiteral("import-bookmarks"),
        QStringLiteral("Add the bookmarks of Firefox (\"firefox\"), Chromium and Google Chrome "
                       "(\"chromium\") or of a bookmark file exported by any browser (FILE.html) to "
                       "the Favorites folder as favourites, print what was added, and exit. Without "
                       "a source, every browser's bookmarks. Favourites already there are kept and "
                       "bookmarks already present are skipped, so importing again adds nothing."));
    const QCommandLineOption exportOption(
        QStringLiteral("export-bookmarks"),
        QStringLiteral("Write the whole Favorites folder, sub-folders included, to FILE.html as a "
                       "bookmark file that browsers import, and exit."),
        QStringLiteral("FILE.html"));
    parser.addOptions({help, version, port, import, exportOption});
    parser.addPositionalArgument(QStringLiteral("source"),
                                 QStringLiteral("With --import-bookmarks: firefox, chromium or FILE.html."),
                                 QStringLiteral("[firefox|chromium|FILE.html]"));

    CommandLine result;
    result.m_helpText = parser.helpText();
    result.m_helpText.replace(QRegularExpression(QStringLiteral("^Usage: \\S*")),
                              QStringLiteral("Usage: ") + usageName(arguments));

    const auto mistake = [&result](const QString &text) {
        result.m_action = Action::Mistake;
        result.m_mistake = text;
        return result;
    };

    if (!parser.parse(arguments))
        return mistake(parser.errorText());
    if (parser.isSet(help)) {
        result.m_action = Action::Help;
        return result;
    }
    if (parser.isSet(version)) {
        result.m_action = Action::Version;
        return result;
    }

    const QStringList positional = parser.positionalArguments();
    const bool importing = parser.isSet(import);
    const bool exporting = parser.isSet(exportOption);
    if (importing && exporting)
        return mistake(QStringLiteral("--import-bookmarks and --export-bookmarks cannot be given together."));
    if (parser.values(port).size() > 1 || parser.values(exportOption).size() > 1)
        return mistake(QStringLiteral("Each option may be given once."));
    if ((importing || exporting) && parser.isSet(port))
        return mistake(QStringLiteral("--port applies only when the program runs its web server."));
    if (positional.size() > (importing ? 1 : 0))
        return mistake(importing ? QStringLiteral("--import-bookmarks takes one source, not %1.").arg(positional.size())
                                 : QStringLiteral("Unexpected argument '%1'.").arg(positional.first()));

    if (parser.isSet(port)) {
        const QString value = parser.value(port).trimmed();
        if (!validPort(value))
            return mistake(QStringLiteral("--port needs a whole number from %1 to %2, not '%3'.")
                               .arg(kLowestPort)
                               .arg(kHighestPort)
                               .arg(parser.value(port)));
        result.m_port = QString::number(value.toInt());
    }
    if (importing) {
        result.m_action = Action::ImportBookmarks;
        result.m_importSource = positional.value(0);
        if (result.m_importSource.isEmpty() && !positional.isEmpty())
            return mistake(QStringLiteral("--import-bookmarks was given an empty source."));
    } else if (exporting) {
        result.m_action = Action::ExportBookmarks;
        result.m_exportFile = parser.value(exportOption);
        if (result.m_exportFile.isEmpty())
            return mistake(QStringLiteral("--export-bookmarks needs the name of the file to write."));
    }
    return result;
}

} // namespace vistrel::app
