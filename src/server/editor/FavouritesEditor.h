#pragma once

#include "server/editor/ActionReport.h"
#include "server/editor/FavouriteIndex.h"
#include "server/editor/FavouritesRoot.h"
#include "server/editor/FolderLocations.h"
#include "server/editor/FormPieces.h"

#include <string>
#include <string_view>

namespace vistrel::platform {
struct ProgramContext;
}

namespace vistrel::server {

// Carries out the pieces of one editing-form post: moves, renames, deletes and
// sort orders, each reported in the post's own action report. Every change
// stays inside the Favorites folder and never replaces another favourite; a
// piece that cannot be carried out is reported and the next one goes on.
class FavouritesEditor
{
public:
    FavouritesEditor(platform::ProgramContext &context, ActionReport &report);

    void applyPiece(std::string_view piece);

private:
    void move(const std::string &path, const std::string &value);
    void rename(const std::string &path, const std::string &value);
    void remove(const std::string &path);
    void sortOrder(const std::string &path, const std::string &value);
    // The failure box holds the error number only, as the other boxes of the
    // program's file operations do.
    void showFailure(int error);
    void changed();

    platform::ProgramContext &m_context;
    ActionReport &m_report;
    FavouritesRoot m_root;
    FavouriteIndex m_index;
    FolderLocations m_locations;
};

} // namespace vistrel::server
