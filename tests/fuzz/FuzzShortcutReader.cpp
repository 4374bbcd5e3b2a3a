// Fuzzing of the shortcut (".url") reader: any file gives property values
// whose listing pieces are well-formed attribute text, and the file read from
// disk reads as the same bytes parsed in memory.
#include "capture/IniFile.h"
#include "capture/InternetShortcut.h"
#include "capture/LinkPieces.h"
#include "capture/ValueToText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include "FuzzCheck.h"

using namespace vistrel::capture;

namespace {

// The text between a piece's quotes: no quote, no "<", no control byte, and
// valid UTF-8, so the listing stays well-formed whatever the file held.
void checkPiece(const std::string &piece)
{
    const std::size_t open = piece.find("=\"");
    check(open != std::string::npos && piece.back() == '"');
    const std::string_view value = std::string_view(piece).substr(open + 2, piece.size() - open - 3);
    for (const char c : value)
        check(c != '"' && c != '<' && static_cast<unsigned char>(c) >= 0x20);
    const QByteArray bytes(value.data(), qsizetype(value.size()));
    check(QString::fromUtf8(bytes).toUtf8() == bytes);
}

const QString &scratchFile()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("fuzz.url"));
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > size_t(IniFile::kMaxFileBytes))
        return 0;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QFile file(scratchFile());
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    check(file.write(bytes.data(), bytes.size()) == bytes.size());
    file.close();

    InternetShortcut shortcut;
    check(shortcut.load(scratchFile()) == S_OK);
    const IniFile parsed = IniFile::parse(bytes);
    check(shortcut.url() == parsed.value("InternetShortcut", "URL").value_or(std::string()));

    std::unique_ptr<PropertyStorage> storage;
    check(shortcut.openPropertySet(FMTID_Intshcut, storage) == S_OK && storage);
    for (const NamedProperty &p : kShortcutProperties) {
        PropVariant value;
        storage->readMultiple(p.id, value);
        checkPiece(shortcutPropertyPiece(p.name, valueToText(value)));
    }
    check(shortcut.openPropertySet(FMTID_InternetSite, storage) == S_OK && storage);
    for (const NamedProperty &p : kSiteProperties) {
        PropVariant value;
        storage->readMultiple(p.id, value);
        checkPiece(sitePropertyPiece(p.name, valueToText(value)));
    }
    return 0;
}
