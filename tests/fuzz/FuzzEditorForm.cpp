// Fuzzing of the editor's form decoding: the body splits into pieces that join
// back into it, every field name decodes to a path inside the Favorites folder
// or to none, and every value decodes or fails cleanly.
#include "platform/TextEncodings.h"
#include "server/editor/FavouritesRoot.h"
#include "server/editor/FormPieces.h"

#include <cstdint>
#include "FuzzCheck.h"

using namespace vistrel;

namespace {

std::string percentEncodeAll(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        out += '%';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string upper(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'f')
            c = char(c - 'a' + 'A');
    return text;
}

void checkIdentifier(const server::FavouritesRoot &root, const std::string &identifier)
{
    const std::optional<std::string> path = root.decodeIdentifier(identifier);
    if (!path)
        return;
    check(path->compare(0, root.folder().size(), root.folder()) == 0 && path->size() > root.folder().size());
    const std::string rest = path->substr(root.folder().size() - 1) + "/";
    check(rest.find("/../") == std::string::npos && rest.find("/./") == std::string::npos);
    check(rest.find("//") == std::string::npos && rest.find('\0') == std::string::npos);
    check(platform::hexEncode(*path) == upper(identifier));
}

void checkValue(const std::string &value)
{
    std::string decoded;
    try {
        decoded = platform::decodeFormValue(value);
    } catch (const platform::ConversionError &) {
        return;
    }
    check(decoded.size() <= value.size());
    check(platform::decodeFormValue(percentEncodeAll(decoded)) == decoded);
    const std::string loose = platform::decodePercent(value);
    check(loose.size() <= value.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view body(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string_view> pieces = server::splitFormPieces(body);
    check(pieces.empty() == body.empty());
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i)
        joined += (i ? "&" : "") + std::string(pieces[i]);
    check(joined == body);

    static const server::FavouritesRoot root("/home/user/Favorites");
    for (const std::string_view piece : pieces) {
        server::EditorField field;
        if (!server::parseEditorField(piece, field)) {
            checkValue(std::string(piece));
            continue;
        }
        const std::size_t prefix = piece.size() - field.identifier.size() - field.value.size() - 1;
        check(piece.substr(prefix) == field.identifier + "=" + field.value);
        checkIdentifier(root, field.identifier);
        checkValue(field.value);
        try {
            const std::string bytes = platform::hexDecode(field.identifier);
            check(platform::hexEncode(bytes) == upper(field.identifier.substr(0, field.identifier.size() & ~std::size_t(1))));
        } catch (const platform::ConversionError &) {
        }
    }
    return 0;
}
