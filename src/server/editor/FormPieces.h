#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vistrel::server {

// The pieces of a URL-encoded form body, split at every "&": an empty piece
// between two "&" and after a final one is kept; an empty body has none. The
// pieces point into the body, which a large form holds only once.
std::vector<std::string_view> splitFormPieces(std::string_view body);

// One piece of the editing form: its field kind by the name's prefix, the
// identifier after the prefix and the value after the first "=", both as sent.
struct EditorField
{
    enum class Kind { Move, Rename, SortOrder, Delete };
    Kind kind;
    std::string identifier;
    std::string value;
};

// Names begin "Combo", "Edit", "OB" or "CB" (exactly, in that letter case);
// other pieces, and pieces without "=", are no field of the editor.
bool parseEditorField(std::string_view piece, EditorField &field);

} // namespace vistrel::server
