#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace vistrel::app {

// The settings file: INI sections and keys, keys matched without regard to case.
// Reading is forgiving (garbage lines are skipped); writing keeps the order in
// which values were set and replaces the file in one step.
class SettingsFile
{
public:
    void load(const QByteArray &bytes);
    bool loadFile(const QString &path); // false when the file does not exist

    std::optional<QString> value(const QString &section, const QString &key) const;
    // A decimal integer; the default when missing or not a number.
    long long readInteger(const QString &section, const QString &key, long long fallback) const;
    bool readBool(const QString &section, const QString &key, bool fallback) const;
    QString readString(const QString &section, const QString &key, const QString &fallback) const;

    void write(const QString &section, const QString &key, const QString &value);
    void writeInteger(const QString &section, const QString &key, long long value);
    void writeBool(const QString &section, const QString &key, bool value);

    QByteArray serialize() const;
    bool saveFile(const QString &path) const;

private:
    struct Entry
    {
        QString key;
        QString value;
    };
    struct Section
    {
        QString name;
        QList<Entry> entries;
    };
    Section *section(const QString &name);
    const Section *section(const QString &name) const;

    QList<Section> m_sections;
};

} // namespace vistrel::app
