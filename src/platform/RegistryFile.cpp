#include "platform/RegistryFile.h"

#include "platform/RegistryDocument.h"
#include "platform/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSet>
#include <QStandardPaths>

#include <cstdio>

#include <sys/stat.h>

namespace vistrel::platform {

namespace {

// A broken file is reported once per problem, not at every access.
void reportOnce(const QString &path, const QStringList &problems)
{
    static QMutex mutex;
    static QSet<QString> reported;
    QMutexLocker lock(&mutex);
    for (const QString &p : problems) {
        const QString key = path + QLatin1Char('|') + p;
        if (reported.contains(key))
            continue;
        reported.insert(key);
        std::fprintf(stderr, "Vistrel: registry file %s: %s\n", qPrintable(path), qPrintable(p));
    }
}

// The file is looked at on every access, but read and parsed again only when it changed:
// a refresh asks for many values of one large file.
RegistryDocument load(const QString &path)
{
    struct Cached
    {
        QString path;
        struct stat identity = {};
        RegistryDocument doc;
    };
    static QMutex mutex;
    static Cached cache;

    // One stat tells whether the file is still the one parsed last time.
    struct stat st = {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    const auto same = [&st](const struct stat &other) {
        return other.st_ino == st.st_ino && other.st_dev == st.st_dev && other.st_size == st.st_size
               && other.st_mtim.tv_sec == st.st_mtim.tv_sec && other.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
    };
    QMutexLocker lock(&mutex);
    if (cache.path == path && same(cache.identity))
        return cache.doc;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList problems;
    RegistryDocument doc = RegistryDocument::parse(file.readAll(), &problems);
    lock.unlock();
    if (!problems.isEmpty())
        reportOnce(path, problems);
    lock.relock();
    cache = Cached{path, st, doc};
    return doc;
}

const RegistryDocument::Key *lookUp(const RegistryDocument &doc, const QString &key)
{
    if (const auto *k = doc.find(key))
        return k;
    return RegistryDocument::builtIns().find(key);
}

} // namespace

QString RegistryFile::defaultPath()
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/vistrel/registry.reg");
}

RegistryFile::RegistryFile(QString path) : m_path(std::move(path)) {}

bool RegistryFile::keyExists(const QString &key) const
{
    const RegistryDocument doc = load(m_path);
    return lookUp(doc, key) != nullptr;
}

std::optional<RegistryValue> RegistryFile::value(const QString &key, const QString &name) const
{
    const RegistryDocument doc = load(m_path);
    const auto *k = lookUp(doc, key);
    if (!k)
        return std::nullopt;
    for (const auto &e : k->entries)
        if (e.name.compare(name, Qt::CaseInsensitive) == 0)
            return e.value;
    return std::nullopt;
}

std::optional<QString> RegistryFile::readString(const QString &key, const QString &name) const
{
    const auto v = value(key, name);
    if (!v || v->type != RegistryValue::Type::String)
        return std::nullopt;
    return v->text;
}

std::optional<quint32> RegistryFile::readDword(const QString &key, const QString &name) const
{
    const auto v = value(key, name);
    if (!v || v->type != RegistryValue::Type::Dword)
        return std::nullopt;
    return v->dword;
}

std::optional<QByteArray> RegistryFile::readBinary(const QString &key, const QString &name) const
{
    const auto v = value(key, name);
    if (!v || v->type != RegistryValue::Type::Binary)
        return std::nullopt;
    return v->bytes;
}

QStringList RegistryFile::valueNames(const QString &key) const
{
    const RegistryDocument doc = load(m_path);
    QStringList names;
    if (const auto *k = lookUp(doc, key))
        for (const auto &e : k->entries)
            names << e.name;
    return names;
}

bool RegistryFile::createKey(const QString &key)
{
    RegistryDocument doc = load(m_path);
    if (const auto *k = doc.find(key))
        return !k->broken;
    doc.findOrAdd(key);
    return writeFileAtomically(m_path, doc.serialize());
}

bool RegistryFile::writeValue(const QString &key, const QString &name, const RegistryValue &value)
{
    RegistryDocument doc = load(m_path);
    auto &k = doc.findOrAdd(key);
    if (k.broken)
        return false;
    bool replaced = false;
    for (auto &e : k.entries) {
        if (e.name.compare(name, Qt::CaseInsensitive) == 0) {
            e.value = value;
            replaced = true;
            break;
        }
    }
    if (!replaced)
        k.entries.append({name, value});
    return writeFileAtomically(m_path, doc.serialize());
}

bool RegistryFile::writeString(const QString &key, const QString &name, const QString &text)
{
    RegistryValue v;
    v.type = RegistryValue::Type::String;
    v.text = text;
    return writeValue(key, name, v);
}

bool RegistryFile::writeDword(const QString &key, const QString &name, quint32 value)
{
    RegistryValue v;
    v.type = RegistryValue::Type::Dword;
    v.dword = value;
    return writeValue(key, name, v);
}

bool RegistryFile::writeBinary(const QString &key, const QString &name, const QByteArray &bytes)
{
    RegistryValue v;
    v.type = RegistryValue::Type::Binary;
    v.bytes = bytes;
    return writeValue(key, name, v);
}

bool RegistryFile::deleteValue(const QString &key, const QString &name)
{
    RegistryDocument doc = load(m_path);
    auto *k = doc.find(key);
    if (!k || k->broken)
        return false;
    const auto removed = k->entries.removeIf([&](const auto &e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
    if (removed == 0)
        return false;
    return writeFileAtomically(m_path, doc.serialize());
}

} // namespace vistrel::platform
