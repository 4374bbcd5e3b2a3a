#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace vistrel::platform {

// One registry value as the export format carries it.
struct RegistryValue
{
    enum class Type { String, Dword, Binary };
    Type type = Type::String;
    QString text;          // String
    quint32 dword = 0;     // Dword
    QByteArray bytes;      // Binary
    int hexKind = -1;      // Binary: -1 for "hex:", n for "hex(n):"
};

// The per-user registry, kept as a text file in the regedit export format.
// Every access reads the file anew; every change rewrites it atomically.
// Key and value names compare without regard to case. A key whose lines do not
// parse reads as empty and is written back exactly as it was found.
class RegistryFile
{
public:
    static QString defaultPath();
    explicit RegistryFile(QString path = defaultPath());

    QString path() const { return m_path; }

    bool keyExists(const QString &key) const;
    std::optional<RegistryValue> value(const QString &key, const QString &name) const;
    std::optional<QString> readString(const QString &key, const QString &name) const;
    std::optional<quint32> readDword(const QString &key, const QString &name) const;
    std::optional<QByteArray> readBinary(const QString &key, const QString &name) const;
    // Names of the values under the key, in file order.
    QStringList valueNames(const QString &key) const;

    // Writers create the key when it is missing. They return false when the
    // file could not be written, or the key is one that did not parse.
    bool createKey(const QString &key);
    bool writeString(const QString &key, const QString &name, const QString &text);
    bool writeDword(const QString &key, const QString &name, quint32 value);
    bool writeBinary(const QString &key, const QString &name, const QByteArray &bytes);
    bool deleteValue(const QString &key, const QString &name);

    // The name of the default value of a key ("@" in the file).
    static QString defaultValueName() { return QString(); }

private:
    bool writeValue(const QString &key, const QString &name, const RegistryValue &value);

    QString m_path;
};

} // namespace vistrel::platform
