#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vistrel::platform {
class RegistryFile;
}

namespace vistrel::catalogue {

// The browser keeps its favourites menu order per folder in a binary registry
// value "Order": a 20-byte header, then item records back to back. A record
// holds its own length (16 bits, little-endian) at 0, the item's order number
// at 4, the low byte of its file attributes at 20 (16: a folder) and its name,
// zero-terminated, at 22.
namespace menu_order {
inline constexpr std::size_t kHeaderSize = 20;
inline constexpr std::size_t kOrderOffset = 4;
inline constexpr std::size_t kAttributeOffset = 20;
inline constexpr std::size_t kNameOffset = 22;
inline constexpr unsigned char kFolderAttribute = 16;
inline constexpr const char *kValueName = "Order";
inline constexpr const char *kFavoritesKey =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites";
} // namespace menu_order

// Names lower-cased as the table compares them; text that is not valid UTF-8 is
// compared unchanged.
std::string lowerCaseName(std::string_view name);

// The (name, order number) pairs of one folder's non-folder records, in record order.
class MenuOrderTable
{
public:
    struct Entry
    {
        std::string name; // lower case
        int order = 0;    // 0 to 255
    };

    // Reads the records of an "Order" value. A record of length 0, one too short
    // to hold a name, or one reaching past the end ends the reading; the records
    // before it stand.
    static MenuOrderTable parse(std::string_view data);

    void clear();
    void add(std::string_view name, int order);
    const std::vector<Entry> &entries() const { return m_entries; }

    // The order number of the first entry named fileName (case ignored), or -1.
    int orderOf(std::string_view fileName) const;

private:
    std::vector<Entry> m_entries;
    std::unordered_map<std::string, int> m_first; // lower-case name -> order of its first entry
};

// The registry key of a folder given by its relative path (backslash form; empty
// for the Favorites folder itself).
std::string menuOrderKey(std::string_view relativePath);

// The folder's table; empty when the key or the value is missing.
MenuOrderTable loadMenuOrderTable(const platform::RegistryFile &registry, std::string_view relativePath);

// Sets the order byte of every non-folder record named itemName (case ignored) to
// the low 8 bits of order. Returns how many records changed; the data keeps its size.
int rewriteMenuOrder(std::string &data, std::string_view itemName, int order);

// Rewrites the folder's "Order" value in place. The key is never created, and
// nothing is written unless a record of that name was found. True when written.
bool setMenuOrder(platform::RegistryFile &registry, std::string_view relativePath, std::string_view itemName,
                  int order);

} // namespace vistrel::catalogue
