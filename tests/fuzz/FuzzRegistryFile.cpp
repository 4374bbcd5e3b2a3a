// Fuzzing of the registry file parser: whatever the file holds, every key that
// parsed must come back with the same values after the document is written and
// read again, and the keys must be found by their names.
#include "platform/RegistryDocument.h"

#include <cstdint>
#include "FuzzCheck.h"

using vistrel::platform::RegistryDocument;
using vistrel::platform::RegistryValue;

namespace {

bool sameValue(const RegistryValue &a, const RegistryValue &b)
{
    if (a.type != b.type)
        return false;
    switch (a.type) {
    case RegistryValue::Type::String: return a.text == b.text;
    case RegistryValue::Type::Dword: return a.dword == b.dword;
    case RegistryValue::Type::Binary: return a.bytes == b.bytes && a.hexKind == b.hexKind;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList problems;
    const RegistryDocument first = RegistryDocument::parse(bytes, &problems);
    const QByteArray written = first.serialize();
    const RegistryDocument again = RegistryDocument::parse(written);
    // Writing what was read once more changes nothing.
    check(again.serialize() == RegistryDocument::parse(again.serialize()).serialize());

    for (const RegistryDocument::Key &key : first.keys) {
        if (key.broken || key.path.isEmpty())
            continue;
        const RegistryDocument::Key *found = first.find(key.path.toUpper());
        check(found != nullptr && found->path.compare(key.path, Qt::CaseInsensitive) == 0);
        const RegistryDocument::Key *back = again.find(key.path);
        check(back != nullptr && !back->broken);
        check(back->entries.size() == key.entries.size());
        for (qsizetype i = 0; i < key.entries.size(); ++i) {
            check(back->entries[i].name == key.entries[i].name);
            check(sameValue(back->entries[i].value, key.entries[i].value));
        }
    }
    return 0;
}
