#include "server/editor/FormPieces.h"

namespace vistrel::server {

std::vector<std::string_view> splitFormPieces(std::string_view body)
{
    std::vector<std::string_view> pieces;
    if (body.empty())
        return pieces;
    std::size_t start = 0;
    for (;;) {
        const std::size_t amp = body.find('&', start);
        if (amp == std::string_view::npos) {
            pieces.emplace_back(body.substr(start));
            return pieces;
        }
        pieces.emplace_back(body.substr(start, amp - start));
        start = amp + 1;
    }
}

bool parseEditorField(std::string_view piece, EditorField &field)
{
    struct Prefix
    {
        std::string_view text;
        EditorField::Kind kind;
    };
    static constexpr Prefix kPrefixes[] = {{"Combo", EditorField::Kind::Move},
                                           {"Edit", EditorField::Kind::Rename},
                                           {"OB", EditorField::Kind::SortOrder},
                                           {"CB", EditorField::Kind::Delete}};
    const std::size_t equals = piece.find('=');
    if (equals == std::string_view::npos)
        return false;
    for (const Prefix &p : kPrefixes) {
        if (piece.substr(0, p.text.size()) != p.text || equals < p.text.size())
            continue;
        field.kind = p.kind;
        field.identifier = std::string(piece.substr(p.text.size(), equals - p.text.size()));
        field.value = std::string(piece.substr(equals + 1));
        return true;
    }
    return false;
}

} // namespace vistrel::server
