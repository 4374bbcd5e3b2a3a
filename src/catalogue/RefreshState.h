#pragma once

#include "catalogue/FolderLinkBuffer.h"
#include "catalogue/ListingDocument.h"
#include "catalogue/ListingFormat.h"
#include "catalogue/MenuOrder.h"

#include <string>

namespace vistrel::catalogue {

// The working lists of one refresh pass, shared by the walk, the capture call and
// the history pass. They live for one pass; the refresh command clears them.
struct RefreshState
{
    ListingDocument listing;
    FolderLinkBuffer folderLinks;
    // The Link element under construction; the capture appends its pieces here.
    std::string currentLinkText;
    // The folder (ending in "/") whose Folder element is open, or kNoOpenFolder.
    std::string openFolder{listing::kNoOpenFolder};
    // The menu order of the open folder; kept after the pass ends.
    MenuOrderTable menuOrder;

    void clearWorkingLists()
    {
        listing.clear();
        folderLinks.clear();
        currentLinkText.clear();
        currentLinkText.shrink_to_fit();
    }
};

} // namespace vistrel::catalogue
