#include "platform/urlcache/HistoryDatabaseLocator.h"

#include "platform/SpecialFolders.h"
#include "platform/urlcache/FirefoxProfilesIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vistrel::platform {

namespace {

const QString kPlacesFile = QStringLiteral("places.sqlite");
const QString kChromiumHistoryFile = QStringLiteral("History");

void addDatabase(std::vector<HistoryDatabase> &databases, HistoryFormat format, const QString &profile,
                 const QString &file)
{
    const QString path = QDir(profile).filePath(file);
    // A profile reached twice (listed twice, or through a link) must not count its visits twice.
    const QString real = QFileInfo(path).canonicalFilePath();
    for (const HistoryDatabase &known : databases) {
        if (known.path == path || (!real.isEmpty() && QFileInfo(known.path).canonicalFilePath() == real))
            return;
    }
    databases.push_back({format, path, profile});
}

void addFirefoxProfiles(const QString &firefoxFolder, std::vector<HistoryDatabase> &databases,
                        std::vector<UrlCacheProblem> &problems)
{
    const QString iniPath = QDir(firefoxFolder).filePath(QStringLiteral("profiles.ini"));
    if (!QFileInfo::exists(iniPath))
        return;
    QFile ini(iniPath);
    if (!ini.open(QIODevice::ReadOnly)) {
        problems.push_back({iniPath, QStringLiteral("cannot read the profile list (%1); its profiles were skipped")
                                         .arg(ini.errorString())});
        return;
    }
    const QStringList folders = firefoxProfileFolders(ini.readAll(), firefoxFolder);
    for (const QString &folder : folders)
        addDatabase(databases, HistoryFormat::FirefoxPlaces, folder, kPlacesFile);
}

bool looksLikeChromiumProfile(const QString &name)
{
    return name == QLatin1String("Default") || name.startsWith(QLatin1String("Profile "));
}

void addChromiumProfiles(const QString &browserFolder, std::vector<HistoryDatabase> &databases)
{
    const QDir browser(browserFolder);
    const QStringList names = browser.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        const QString profile = browser.filePath(name);
        // Other folders there (caches, crash reports) are not profiles unless they hold a history.
        if (looksLikeChromiumProfile(name) || QFileInfo::exists(QDir(profile).filePath(kChromiumHistoryFile)))
            addDatabase(databases, HistoryFormat::ChromiumHistory, profile, kChromiumHistoryFile);
    }
}

} // namespace

std::vector<HistoryDatabase> findHistoryDatabases(const QString &homeFolder, const QString &configFolder,
                                                  std::vector<UrlCacheProblem> &problems)
{
    std::vector<HistoryDatabase> databases;
    const QDir home(homeFolder);
    const QDir config(configFolder);
    addFirefoxProfiles(home.filePath(QStringLiteral(".mozilla/firefox")), databases, problems);
    addFirefoxProfiles(config.filePath(QStringLiteral("mozilla/firefox")), databases, problems);
    addChromiumProfiles(config.filePath(QStringLiteral("chromium")), databases);
    addChromiumProfiles(config.filePath(QStringLiteral("google-chrome")), databases);
    return databases;
}

std::vector<HistoryDatabase> findHistoryDatabases(std::vector<UrlCacheProblem> &problems)
{
    return findHistoryDatabases(QDir::homePath(), xdgConfigHome(), problems);
}

} // namespace vistrel::platform
