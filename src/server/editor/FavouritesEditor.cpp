#include "server/editor/FavouritesEditor.h"

#include "catalogue/MenuOrder.h"
#include "platform/ProgramContext.h"
#include "platform/TextEncodings.h"
#include "server/editor/NoReplaceRename.h"
#include "server/editor/OrderNumber.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace vistrel::server {

namespace {

constexpr std::string_view kShortcutExtension = ".URL";
constexpr std::string_view kDeleteValue = "deleteme";
constexpr int kOrderNumbers = 256;
// A field name shown in a report line is cut after this many bytes.
constexpr std::size_t kMaxShownFieldName = 64;

std::string shownFieldName(std::string_view piece)
{
    std::string_view name = piece.substr(0, piece.find('='));
    if (name.size() <= kMaxShownFieldName)
        return std::string(name);
    return std::string(name.substr(0, kMaxShownFieldName)) + "...";
}

// A folder value may name nothing outside the Favorites folder, whatever it
// turns out to match.
bool isSafeFolderValue(std::string_view value)
{
    if (value.find('\0') != std::string_view::npos || value.find('/') != std::string_view::npos)
        return false;
    if (!value.empty() && value.front() == '\\')
        return false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = value.find('\\', start);
        const std::string_view part = value.substr(start, end == std::string_view::npos ? end : end - start);
        if (part == "." || part == "..")
            return false;
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

} // namespace

FavouritesEditor::FavouritesEditor(platform::ProgramContext &context, ActionReport &report)
    : m_context(context),
      m_report(report),
      m_root(QFile::encodeName(context.paths.favoritesFolder).toStdString()),
      m_index(m_root.folder()),
      m_locations(m_root)
{
}

void FavouritesEditor::applyPiece(std::string_view piece)
{
    EditorField field;
    if (!parseEditorField(piece, field))
        return;
    const std::optional<std::string> path = m_root.decodeIdentifier(field.identifier);
    if (!path) {
        m_report.add("Form field %s was not processed. It names no favourite in the Favorites folder<br>",
                     {shownFieldName(piece)});
        return;
    }
    std::string value;
    try {
        value = platform::decodeFormValue(field.value);
    } catch (const platform::ConversionError &) {
        m_report.add("Favourite %s was not changed. %s could not be decoded<br>",
                     {withoutExtension(fileNameOf(*path)), field.value});
        return;
    }
    switch (field.kind) {
    case EditorField::Kind::Move: move(*path, value); break;
    case EditorField::Kind::Rename: rename(*path, value); break;
    case EditorField::Kind::SortOrder: sortOrder(*path, value); break;
    case EditorField::Kind::Delete:
        if (value == kDeleteValue)
            remove(*path);
        break;
    }
}

void FavouritesEditor::changed()
{
    m_index.invalidate();
    m_locations.invalidate();
}

void FavouritesEditor::showFailure(int error)
{
    m_context.messages.show(platform::MessagePresenter::Kind::Error, QString::number(error));
}

void FavouritesEditor::move(const std::string &path, const std::string &value)
{
    const std::optional<FavouriteIndex::Found> found = m_index.first(fileNameOf(path), fileNameOf(path));
    if (!found)
        return;
    const std::string shownName = withoutExtension(found->name);
    if (!isSafeFolderValue(value)) {
        m_report.add("Favourite %s was not moved. %s is not a folder in Favorites<br>", {shownName, value});
        return;
    }
    if (!m_root.reallyHolds(found->folder)) {
        m_report.add("Favourite %s was not moved. It is not in the Favorites folder<br>", {shownName});
        return;
    }
    const std::string current = m_root.relativeKey(found->folder);
    const std::optional<FolderLocations::Folder> target = m_locations.resolve(value, current);
    if (!target) {
        m_report.add("Favourite %s was not moved. %s is not a folder in Favorites<br>", {shownName, value});
        return;
    }
    if (target->relative == current)
        return;
    const std::string shownTarget = m_root.relativeShown(target->path);
    const int error = renameWithoutReplacing(found->folder + found->name, target->path + found->name);
    if (error == EEXIST) {
        showFailure(error);
        m_report.add("Favourite %s was not moved. %s already holds a favourite of that name<br>",
                     {shownName, shownTarget});
        return;
    }
    if (error != 0) {
        showFailure(error);
        m_report.add("Favourite %s was not moved to %s. Error %d<br>", {shownName, shownTarget}, error);
        return;
    }
    changed();
    m_report.add("Moved Favourite %s to %s<br>", {shownName, shownTarget});
}

void FavouritesEditor::rename(const std::string &path, const std::string &value)
{
    const std::optional<FavouriteIndex::Found> found =
        m_index.first(withExtension(fileNameOf(path), kShortcutExtension), fileNameOf(path));
    if (!found || found->folder != folderOf(path))
        return;
    const std::string newName = value + std::string(kShortcutExtension);
    if (withExtension(found->name, kShortcutExtension) == newName)
        return;
    const std::string oldName = withoutExtension(found->name);
    if (!isSafeFileName(newName) || !isSafeFileName(value)) {
        m_report.add("Favourite %s was not renamed. %s is not a valid name<br>", {oldName, value});
        return;
    }
    if (!m_root.reallyHolds(found->folder)) {
        m_report.add("Favourite %s was not renamed. It is not in the Favorites folder<br>", {oldName});
        return;
    }
    const int error = renameWithoutReplacing(found->folder + found->name, found->folder + newName);
    if (error == EEXIST) {
        showFailure(error);
        m_report.add("Favourite %s was not renamed. %s already exists<br>", {oldName, value});
        return;
    }
    if (error != 0) {
        showFailure(error);
        m_report.add("Favourite %s was not renamed to %s. Error %d<br>", {oldName, value}, error);
        return;
    }
    changed();
    m_report.add("Renamed Favourite %s to %s<br>", {oldName, value});
}

void FavouritesEditor::remove(const std::string &path)
{
    const std::optional<FavouriteIndex::Found> found =
        m_index.first(withExtension(fileNameOf(path), kShortcutExtension), fileNameOf(path));
    if (!found || found->folder != folderOf(path))
        return;
    const std::string shownFolder = m_root.relativeShown(found->folder);
    if (!m_root.reallyHolds(found->folder)) {
        m_report.add("Favourite %s was not deleted. It is not in the Favorites folder<br>", {found->name});
        return;
    }
    if (::unlink((found->folder + found->name).c_str()) != 0) {
        const int error = errno;
        showFailure(error);
        m_report.add("Favourite %s was not deleted from %s folder. Error %d<br>", {found->name, shownFolder}, error);
        return;
    }
    changed();
    m_report.add("Deleted Favourite %s from %s folder<br>", {found->name, shownFolder});
}

void FavouritesEditor::sortOrder(const std::string &path, const std::string &value)
{
    const std::optional<FavouriteIndex::Found> found =
        m_index.first(withExtension(fileNameOf(path), kShortcutExtension), fileNameOf(path));
    if (!found)
        return;
    const std::string folderKey = m_root.relativeKey(found->folder);
    // This post's own table: a refresh or another post may be reading another folder's meanwhile.
    const catalogue::MenuOrderTable table = catalogue::loadMenuOrderTable(m_context.registry, folderKey);
    const std::optional<int> order = parseOrderNumber(value);
    if (!order) {
        m_report.add("Favourite %s sort order is Invalid. %s is not a number<br>", {found->name, value});
        return;
    }
    const int current = table.orderOf(found->name);
    if (current == *order)
        return;
    if (*order < 0) {
        m_report.add("Favourite %s sort order is Invalid. %s is below 0<br>", {found->name, value});
        return;
    }
    if (*order >= kOrderNumbers) {
        m_report.add("Favourite %s sort order is too big. %s is greater than 255<br>", {found->name, value});
        return;
    }
    if (current < 0) {
        m_report.add("Favourite %s sort order was not changed to %s. I.E. has no sort order for it yet<br>",
                     {found->name, value});
        return;
    }
    if (!catalogue::setMenuOrder(m_context.registry, folderKey, found->name, *order)) {
        m_report.add("Favourite %s sort order was not changed to %s. The sort order could not be written<br>",
                     {found->name, value});
        return;
    }
    m_report.add("Changed Favourite %s sort order to %s. I.E. will show changes after it has been restarted <br>",
                 {found->name, value});
}

} // namespace vistrel::server
