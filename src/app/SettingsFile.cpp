#include "app/SettingsFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QStringList>

namespace vistrel::app {

void SettingsFile::load(const QByteArray &bytes)
{
    m_sections.clear();
    QString current;
    bool inSection = false;
    for (QString line : QString::fromUtf8(bytes).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const int close = line.indexOf(QLatin1Char(']'));
            inSection = close > 1;
            if (inSection) {
                current = line.mid(1, close - 1).trimmed();
                if (!section(current))
                    m_sections.append({current, {}});
            }
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (!inSection || eq <= 0)
            continue;
        // The first occurrence of a key wins, as a reader scanning the file would find it.
        const QString key = line.left(eq).trimmed();
        Section *s = section(current);
        bool known = false;
        for (const Entry &e : s->entries)
            known = known || e.key.compare(key, Qt::CaseInsensitive) == 0;
        if (!known)
            s->entries.append({key, line.mid(eq + 1).trimmed()});
    }
}

bool SettingsFile::loadFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_sections.clear();
        return false;
    }
    load(file.readAll());
    return true;
}

SettingsFile::Section *SettingsFile::section(const QString &name)
{
    for (Section &s : m_sections)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const SettingsFile::Section *SettingsFile::section(const QString &name) const
{
    return const_cast<SettingsFile *>(this)->section(name);
}

std::optional<QString> SettingsFile::value(const QString &sectionName, const QString &key) const
{
    if (const Section *s = section(sectionName))
        for (const Entry &e : s->entries)
            if (e.key.compare(key, Qt::CaseInsensitive) == 0)
                return e.value;
    return std::nullopt;
}

long long SettingsFile::readInteger(const QString &sectionName, const QString &key, long long fallback) const
{
    const auto text = value(sectionName, key);
    if (!text)
        return fallback;
    bool ok = false;
    const long long v = text->toLongLong(&ok);
    return ok ? v : fallback;
}

bool SettingsFile::readBool(const QString &sectionName, const QString &key, bool fallback) const
{
    return readInteger(sectionName, key, fallback ? 1 : 0) != 0;
}

QString SettingsFile::readString(const QString &sectionName, const QString &key, const QString &fallback) const
{
    return value(sectionName, key).value_or(fallback);
}

void SettingsFile::write(const QString &sectionName, const QString &key, const QString &text)
{
    Section *s = section(sectionName);
    if (!s) {
        m_sections.append({sectionName, {}});
        s = &m_sections.last();
    }
    // Values never span lines in this format.
    QString clean = text;
    clean.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    for (Entry &e : s->entries) {
        if (e.key.compare(key, Qt::CaseInsensitive) == 0) {
            e.key = key;
            e.value = clean;
            return;
        }
    }
    s->entries.append({key, clean});
}

void SettingsFile::writeInteger(const QString &sectionName, const QString &key, long long v)
{
    write(sectionName, key, QString::number(v));
}

void SettingsFile::writeBool(const QString &sectionName, const QString &key, bool v)
{
    write(sectionName, key, v ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray SettingsFile::serialize() const
{
    QStringList lines;
    for (const Section &s : m_sections) {
        lines << QLatin1Char('[') + s.name + QLatin1Char(']');
        for (const Entry &e : s.entries)
            lines << e.key + QLatin1Char('=') + e.value;
        lines << QString();
    }
    return platform::joinLinesCrLf(lines);
}

bool SettingsFile::saveFile(const QString &path) const
{
    return platform::writeFileAtomically(path, serialize());
}

} // namespace vistrel::app
