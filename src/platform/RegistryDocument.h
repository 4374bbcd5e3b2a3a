#pragma once

#include "platform/RegistryFile.h"

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

    Key *find(const QString &path);
    const Key *find(const QString &path) const;
    Key &findOrAdd(const QString &path);

    // Built-in values that answer when the file has no such key.
    static const RegistryDocument &builtIns();
};

} // namespace vistrel::platform
