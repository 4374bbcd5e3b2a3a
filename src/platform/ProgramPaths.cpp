#include "platform/ProgramPaths.h"

#include "platform/SpecialFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace vistrel::platform {

namespace {

QString withExtension(const QString &name, const QString &extension)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return name + QLatin1Char('.') + extension;
    return name.left(dot + 1) + extension;
}

bool writableFolder(const QString &folder)
{
    return !folder.isEmpty() && ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

} // namespace

QString settingsFileName(const QString &programFileName)
{
    return withExtension(programFileName.toLower(), QStringLiteral("ini"));
}

QString serverLogFileName(const QString &programFileName)
{
    return withExtension(programFileName, QStringLiteral("log"));
}

ProgramPaths ProgramPaths::compute(const QString &programFile)
{
    ProgramPaths p;
    p.programFile = programFile;
    if (p.programFile.isEmpty() && QCoreApplication::instance())
        p.programFile = QCoreApplication::applicationFilePath();
    if (p.programFile.isEmpty())
        p.programFile = QStringLiteral("vistrel");
    const QFileInfo info(p.programFile);
    QString folder = info.absolutePath();
    if (!writableFolder(folder)) {
        folder = xdgConfigHome() + QStringLiteral("/vistrel");
        QDir().mkpath(folder);
    }
    p.programFolder = QDir(folder).absolutePath() + QLatin1Char('/');
    p.settingsPath = p.programFolder + settingsFileName(info.fileName());
    p.serverLogPath = p.programFolder + serverLogFileName(info.fileName());
    p.documentsFolder = platform::documentsFolder();
    p.dataFolder = p.documentsFolder + QStringLiteral("vistrel/");
    p.favoritesFolder = platform::favoritesFolder();
    return p;
}

} // namespace vistrel::platform
