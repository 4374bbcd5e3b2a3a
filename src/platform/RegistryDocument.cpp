#include "platform/RegistryDocument.h"

#include <QStringDecoder>

namespace vistrel::platform {

namespace {

const QString kHeader = QStringLiteral("Windows Registry Editor Version 5.00");
const QString kOldHeader = QStringLiteral("REGEDIT4");
constexpr int kHexBytesPerLine = 24;

QString decode(const QByteArray &bytes)
{
    if (bytes.startsWith("\xFF\xFE"))
        return QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    if (bytes.startsWith("\xFE\xFF"))
        return QStringDecoder(QStringDecoder::Utf16BE)(bytes.mid(2));
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    return QString::fromUtf8(bytes);
}

// Reads a double-quoted text with \\ and \" escapes starting at pos; pos ends after the quote.
bool readQuoted(const QString &line, int &pos, QString &out)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        const QChar c = line[pos++];
        if (c == QLatin1Char('"'))
            return true;
        if (c == QLatin1Char('\\')) {
            if (pos >= line.size())
                return false;
            out += line[pos++];
            continue;
        }
        out += c;
    }
    return false;
}

QString quote(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

bool parseHexBytes(const QString &text, QByteArray &out)
{
    out.clear();
    const QString compact = QString(text).remove(QLatin1Char(' ')).remove(QLatin1Char('\t'));
    if (compact.isEmpty())
        return true;
    for (const QString &part : compact.split(QLatin1Char(','))) {
        bool ok = false;
        const uint v = part.toUInt(&ok, 16);
        if (!ok || part.size() > 2 || v > 0xFF)
            return false;
        out.append(char(v));
    }
    return true;
}

// Parses the right-hand side of a value line. Returns false when it does not parse;
// sets deleted for the "-" form.
bool parseData(const QString &data, RegistryValue &value, bool &deleted)
{
    deleted = false;
    if (data == QLatin1String("-")) {
        deleted = true;
        return true;
    }
    if (data.startsWith(QLatin1Char('"'))) {
        int pos = 0;
        QString text;
        if (!readQuoted(data, pos, text) || pos != data.size())
            return false;
        value.type = RegistryValue::Type::String;
        value.text = text;
        return true;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const QString digits = data.mid(6);
        bool ok = false;
        const uint v = digits.toUInt(&ok, 16);
        if (!ok || digits.isEmpty() || digits.size() > 8)
            return false;
        value.type = RegistryValue::Type::Dword;
        value.dword = v;
        return true;
    }
    if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
        const int colon = data.indexOf(QLatin1Char(':'));
        if (colon < 0)
            return false;
        const QString kind = data.mid(3, colon - 3);
        int hexKind = -1;
        if (!kind.isEmpty()) {
            if (!kind.startsWith(QLatin1Char('(')) || !kind.endsWith(QLatin1Char(')')))
                return false;
            bool ok = false;
            hexKind = kind.mid(1, kind.size() - 2).toInt(&ok, 16);
            if (!ok || hexKind < 0)
                return false;
        }
        value.type = RegistryValue::Type::Binary;
        value.hexKind = hexKind;
        return parseHexBytes(data.mid(colon + 1), value.bytes);
    }
    return false;
}

QString formatValue(const QString &name, const RegistryValue &value)
{
    QString out = name.isEmpty() ? QStringLiteral("@") : quote(name);
    out += QLatin1Char('=');
    switch (value.type) {
    case RegistryValue::Type::String:
        return out + quote(value.text);
    case RegistryValue::Type::Dword:
        return out + QStringLiteral("dword:%1").arg(value.dword, 8, 16, QLatin1Char('0'));
    case RegistryValue::Type::Binary: {
        out += value.hexKind < 0 ? QStringLiteral("hex:") : QStringLiteral("hex(%1):").arg(value.hexKind, 0, 16);
        for (int i = 0; i < value.bytes.size(); ++i) {
            out += QStringLiteral("%1").arg(uchar(value.bytes[i]), 2, 16, QLatin1Char('0'));
            if (i + 1 < value.bytes.size()) {
                out += QLatin1Char(',');
                if ((i + 1) % kHexBytesPerLine == 0)
                    out += QStringLiteral("\\\r\n  ");
            }
        }
        return out;
    }
    }
    return out;
}

} // namespace

RegistryDocument RegistryDocument::parse(const QByteArray &fileBytes, QStringList *problems)
{
    RegistryDocument doc;
    const QString text = decode(fileBytes);
    const QStringList physical = text.split(QLatin1Char('\n'));

    Key *current = nullptr;
    Key preamble; // stray lines before the first key, kept so nothing is lost
    preamble.broken = true;
    bool headerSeen = false;

    for (int i = 0; i < physical.size(); ++i) {
        QString raw = physical[i];
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        QStringList rawGroup{raw};
        QString line = raw.trimmed();
        // Continuation lines of long hex values end with a backslash.
        while (line.endsWith(QLatin1Char('\\')) && i + 1 < physical.size()) {
            QString next = physical[++i];
            if (next.endsWith(QLatin1Char('\r')))
                next.chop(1);
            rawGroup << next;
            line.chop(1);
            line += next.trimmed();
        }
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (!headerSeen && current == nullptr && (line == kHeader || line == kOldHeader)) {
            headerSeen = true;
            continue;
        }
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')) || line.size() < 3) {
                if (problems)
                    problems->append(QStringLiteral("line %1: bad key line").arg(i + 1));
                (current ? current : &preamble)->broken = true;
                (current ? current->rawLines : preamble.rawLines) << rawGroup;
                continue;
            }
            QString path = keyPath(line.mid(1, line.size() - 2));
            if (path.startsWith(QLatin1Char('-'))) {
                // A deletion in an import file: the key is gone.
                path = path.mid(1);
                doc.keys.removeIf([&](const Key &k) { return k.path.compare(path, Qt::CaseInsensitive) == 0; });
                doc.reindex();
                current = nullptr;
                continue;
            }
            current = &doc.findOrAdd(path);
            current->rawLines << rawGroup;
            continue;
        }
        if (!current) {
            if (problems)
                problems->append(QStringLiteral("line %1: value outside any key").arg(i + 1));
            preamble.rawLines << rawGroup;
            continue;
        }
        current->rawLines << rawGroup;
        QString name;
        int pos = 0;
        bool ok = true;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else {
            ok = readQuoted(line, pos, name);
        }
        ok = ok && pos < line.size() && line[pos] == QLatin1Char('=');
        RegistryValue value;
        bool deleted = false;
        ok = ok && parseData(line.mid(pos + 1).trimmed(), value, deleted);
        if (!ok) {
            if (problems)
                problems->append(QStringLiteral("line %1: cannot read value in [%2]").arg(i + 1).arg(current->path));
            current->broken = true;
            continue;
        }
        current->entries.removeIf([&](const Entry &e) { return e.name.compare(name, Qt::CaseInsensitive) == 0; });
        if (!deleted)
            current->entries.append({name, value});
    }
    if (!preamble.rawLines.isEmpty()) {
        doc.keys.prepend(preamble);
        doc.reindex();
    }
    if (!headerSeen && !fileBytes.trimmed().isEmpty() && problems)
        problems->append(QStringLiteral("missing the \"%1\" header").arg(kHeader));
    for (Key &key : doc.keys) {
        if (key.broken)
            key.entries.clear();
        else
            key.rawLines.clear();
    }
    return doc;
}

QByteArray RegistryDocument::serialize() const
{
    QString out = kHeader + QStringLiteral("\r\n\r\n");
    for (const Key &key : keys) {
        if (key.broken) {
            for (const QString &line : key.rawLines)
                out += line + QStringLiteral("\r\n");
            out += QStringLiteral("\r\n");
            continue;
        }
        out += QLatin1Char('[') + key.path + QStringLiteral("]\r\n");
        for (const Entry &e : key.entries)
            out += formatValue(e.name, e.value) + QStringLiteral("\r\n");
        out += QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

void RegistryDocument::reindex()
{
    m_index.clear();
    for (qsizetype i = 0; i < keys.size(); ++i)
        if (!keys[i].path.isEmpty())
            m_index.insert(keys[i].path.toCaseFolded(), i);
    m_indexedSize = keys.size();
}

QString RegistryDocument::keyPath(QString path)
{
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path;
}

qsizetype RegistryDocument::indexed(const QString &spelled) const
{
    const QString path = keyPath(spelled);
    if (path.isEmpty())
        return -1;
    if (m_indexedSize == keys.size()) {
        const auto it = m_index.constFind(path.toCaseFolded());
        if (it == m_index.constEnd())
            return -1;
        if (*it < keys.size() && keys[*it].path.compare(path, Qt::CaseInsensitive) == 0)
            return *it;
    }
    // The list was changed behind the index: search it key by key.
    for (qsizetype i = 0; i < keys.size(); ++i)
        if (keys[i].path.compare(path, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

RegistryDocument::Key *RegistryDocument::find(const QString &path)
{
    const qsizetype i = indexed(path);
    return i < 0 ? nullptr : &keys[i];
}

const RegistryDocument::Key *RegistryDocument::find(const QString &path) const
{
    const qsizetype i = indexed(path);
    return i < 0 ? nullptr : &keys[i];
}

RegistryDocument::Key &RegistryDocument::findOrAdd(const QString &spelled)
{
    const QString path = keyPath(spelled);
    if (Key *k = find(path))
        return *k;
    if (m_indexedSize != keys.size())
        reindex();
    keys.append(Key{path, {}, false, {}});
    if (!path.isEmpty())
        m_index.insert(path.toCaseFolded(), keys.size() - 1);
    m_indexedSize = keys.size();
    return keys.last();
}

const RegistryDocument &RegistryDocument::builtIns()
{
    static const RegistryDocument doc = [] {
        RegistryDocument d;
        RegistryValue htm;
        htm.text = QStringLiteral("htmlfile");
        d.findOrAdd(QStringLiteral("HKEY_CLASSES_ROOT\\.htm")).entries.append({QString(), htm});
        RegistryValue open;
        open.text = QStringLiteral("xdg-open \"%1\"");
        d.findOrAdd(QStringLiteral("HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command")).entries.append({QString(), open});
        return d;
    }();
    return doc;
}

} // namespace vistrel::platform
