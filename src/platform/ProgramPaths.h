#pragma once

#include <QString>

namespace vistrel::platform {

// Where the program keeps its own files. Folders end with "/".
struct ProgramPaths
{
    QString programFile;     // the running executable
    QString programFolder;   // beside the executable when writable, else ~/.config/vistrel/
    QString settingsPath;    // programFolder + "vistrel.ini"
    QString serverLogPath;   // programFolder + "vistrel.log"
    QString documentsFolder; // with a trailing "/"
    QString dataFolder;      // documentsFolder + "vistrel/"
    QString favoritesFolder; // without a trailing "/"

    QString filesLogPath() const { return programFolder + QStringLiteral("files.log"); }
    QString valuesLogPath() const { return programFolder + QStringLiteral("values.log"); }
    QString formRecordPath() const { return programFolder + QStringLiteral("CgiFrm1.txt"); }
    QString imagesFolder() const { return dataFolder + QStringLiteral("images/"); }
    QString historyImagesFolder() const { return dataFolder + QStringLiteral("images/history/"); }

    // Works everything out for the given executable path (the running one when empty).
    static ProgramPaths compute(const QString &programFile = QString());
};

// The settings file name for a program file: lower-case name, extension replaced
// by "ini" (or ".ini" appended when there is none). Likewise the log with "log",
// keeping the name's case.
QString settingsFileName(const QString &programFileName);
QString serverLogFileName(const QString &programFileName);

} // namespace vistrel::platform
