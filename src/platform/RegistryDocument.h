#pragma once

#include "platform/RegistryFile.h"

#include <QHash>
#include <QList>
#include <QString>

namespace vistrel::platform {

// The parsed form of a registry export: keys in file order, each with its values
// or, when one of its lines did not parse, with its raw lines kept for writing back.
struct RegistryDocument
{
    struct Entry
    {
        QString name;
        RegistryValue value;
    };
    struct Key
    {
        QString path;
        QList<Entry> entries;
        bool broken = false;
        QStringList rawLines; // the key's lines as found, when broken
    };

    QList<Key> keys;

    static RegistryDocument parse(const QByteArray &fileBytes, QStringList *problems = nullptr);
    QByteArray serialize() const;

    // Keys are found case-blind through an index, so that a file with many
    // keys (a menu order per favourites folder) is not searched key by key.
    Key *find(const QString &path);
    const Key *find(const QString &path) const;
    Key &findOrAdd(const QString &path);

    // "Key\" and "Key" name one key, as in the Windows registry: the trailing
    // backslashes go, for lookups and for what is stored.
    static QString keyPath(QString path);

    // Built-in values that answer when the file has no such key.
    static const RegistryDocument &builtIns();

private:
    // Rebuilt after any change to the list other than findOrAdd's append.
    void reindex();
    qsizetype indexed(const QString &path) const;

    QHash<QString, qsizetype> m_index; // case-folded path -> position in keys
    qsizetype m_indexedSize = 0;
};

} // namespace vistrel::platform
