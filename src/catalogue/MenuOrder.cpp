#include "catalogue/MenuOrder.h"

#include "platform/RegistryFile.h"

#include <QString>

namespace vistrel::catalogue {

namespace {

struct Record
{
    std::size_t offset;
    unsigned char attribute;
    std::string_view name;
};

// Calls visit(record) for each well-formed record, in order, until one is not.
template <typename Visit>
void forEachRecord(std::string_view data, Visit &&visit)
{
    using namespace menu_order;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(data[i]); };
    std::size_t pos = kHeaderSize;
    while (pos < data.size()) {
        if (data.size() - pos < 2)
            return;
        const std::size_t length = byte(pos) | (std::size_t(byte(pos + 1)) << 8);
        if (length <= kNameOffset || length > data.size() - pos)
            return;
        std::string_view name = data.substr(pos + kNameOffset, length - kNameOffset);
        name = name.substr(0, name.find('\0'));
        visit(Record{pos, byte(pos + kAttributeOffset), name});
        pos += length;
    }
}

} // namespace

std::string lowerCaseName(std::string_view name)
{
    const QString text = QString::fromUtf8(name.data(), qsizetype(name.size()));
    const QByteArray back = text.toUtf8();
    if (back.size() != qsizetype(name.size()) || std::string_view(back.constData(), back.size()) != name)
        return std::string(name);
    return text.toLower().toStdString();
}

MenuOrderTable MenuOrderTable::parse(std::string_view data)
{
    MenuOrderTable table;
    forEachRecord(data, [&](const Record &r) {
        if (r.attribute != menu_order::kFolderAttribute)
            table.add(r.name, static_cast<unsigned char>(data[r.offset + menu_order::kOrderOffset]));
    });
    return table;
}

void MenuOrderTable::clear()
{
    m_entries.clear();
    m_first.clear();
}

void MenuOrderTable::add(std::string_view name, int order)
{
    Entry entry{lowerCaseName(name), order};
    m_first.try_emplace(entry.name, order);
    m_entries.push_back(std::move(entry));
}

int MenuOrderTable::orderOf(std::string_view fileName) const
{
    const auto it = m_first.find(lowerCaseName(fileName));
    return it == m_first.end() ? -1 : it->second;
}

std::string menuOrderKey(std::string_view relativePath)
{
    std::string key = menu_order::kFavoritesKey;
    if (!relativePath.empty()) {
        key += '\\';
        key += relativePath;
    }
    return key;
}

namespace {

QString keyName(std::string_view relativePath)
{
    const std::string key = menuOrderKey(relativePath);
    return QString::fromUtf8(key.data(), qsizetype(key.size()));
}

} // namespace

MenuOrderTable loadMenuOrderTable(const platform::RegistryFile &registry, std::string_view relativePath)
{
    const auto data = registry.readBinary(keyName(relativePath), QLatin1String(menu_order::kValueName));
    if (!data)
        return {};
    return MenuOrderTable::parse(std::string_view(data->constData(), std::size_t(data->size())));
}

int rewriteMenuOrder(std::string &data, std::string_view itemName, int order)
{
    const std::string wanted = lowerCaseName(itemName);
    int changed = 0;
    forEachRecord(data, [&](const Record &r) {
        if (r.attribute != menu_order::kFolderAttribute && lowerCaseName(r.name) == wanted) {
            data[r.offset + menu_order::kOrderOffset] = static_cast<char>(order & 0xFF);
            ++changed;
        }
    });
    return changed;
}

bool setMenuOrder(platform::RegistryFile &registry, std::string_view relativePath, std::string_view itemName,
                  int order)
{
    const QString key = keyName(relativePath);
    const QString value = QLatin1String(menu_order::kValueName);
    if (!registry.keyExists(key))
        return false;
    const auto data = registry.readBinary(key, value);
    if (!data)
        return false;
    std::string bytes = data->toStdString();
    if (rewriteMenuOrder(bytes, itemName, order) == 0)
        return false;
    return registry.writeBinary(key, value, QByteArray(bytes.data(), qsizetype(bytes.size())));
}

} // namespace vistrel::catalogue
