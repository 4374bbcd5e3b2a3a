#include "catalogue/bookmarks/ChromiumBookmarks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vistrel::catalogue {

namespace {

struct Pending
{
    QJsonArray children;
    qsizetype next;
    int folder;
};

// Walks one root's children without recursion; the document's own nesting is
// bounded by the JSON parser, the folders' by the tree.
void addChildren(BookmarkTree &tree, const QJsonObject &root, int target)
{
    std::vector<Pending> stack;
    stack.push_back({root.value(QLatin1String("children")).toArray(), 0, target});
    while (!stack.empty()) {
        Pending &top = stack.back();
        if (top.next >= top.children.size()) {
            stack.pop_back();
            continue;
        }
        const QJsonObject node = top.children.at(top.next++).toObject();
        const int folder = top.folder;
        const QString type = node.value(QLatin1String("type")).toString();
        const QString name = node.value(QLatin1String("name")).toString();
        if (type == QLatin1String("folder"))
            stack.push_back({node.value(QLatin1String("children")).toArray(), 0, tree.addFolder(folder, name)});
        else if (type == QLatin1String("url"))
            tree.addLink(folder, name, node.value(QLatin1String("url")).toString().toUtf8());
        else
            tree.skip();
    }
}

} // namespace

std::optional<BookmarkTree> ChromiumBookmarks::read(const QString &bookmarksPath, QString &error)
{
    const std::optional<QByteArray> bytes = readBookmarkFile(bookmarksPath, error);
    return bytes ? parse(*bytes, error) : std::nullopt;
}

std::optional<BookmarkTree> ChromiumBookmarks::parse(const QByteArray &json, QString &error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("malformed bookmark file: %1 at byte %2").arg(parseError.errorString()).arg(parseError.offset);
        return std::nullopt;
    }
    const QJsonObject roots = document.object().value(QLatin1String("roots")).toObject();
    if (roots.isEmpty()) {
        error = QStringLiteral("not a bookmark file: it has no \"roots\"");
        return std::nullopt;
    }
    BookmarkTree tree;
    const std::pair<const char *, int> places[] = {
        {"bookmark_bar", BookmarkTree::kToolbar}, {"other", BookmarkTree::kFavorites}, {"synced", BookmarkTree::kMobile}};
    for (const auto &[name, target] : places)
        addChildren(tree, roots.value(QLatin1String(name)).toObject(), target);
    return tree;
}

} // namespace vistrel::catalogue
