#include "catalogue/FolderWalk.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace vistrel;
using namespace vistrel::catalogue;

namespace {

struct Visit
{
    std::string folder, name;
};

std::vector<Visit> walkAll(const std::string &root, const char *mask = "*.url")
{
    std::vector<Visit> visits;
    walkFolder(root, mask, [&](const std::string &folder, const DirectoryEntry &entry) {
        visits.push_back({folder, entry.name});
        return WalkAnswer::Continue;
    });
    return visits;
}

// By raw bytes, so names that are not UTF-8 keep their bytes.
void touch(const std::string &path)
{
    QDir().mkpath(QFile::decodeName(QByteArray::fromStdString(path.substr(0, path.rfind('/')))));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path;
    ::close(fd);
}

struct Tree
{
    test::TempHome home;
    std::string root = QFile::encodeName(home.file("Favorites")).toStdString();

    Tree()
    {
        for (const char *path : {"/a.url", "/b.URL", "/notes.txt", "/x/c.url", "/x/y/d.url", "/x/y/e.url",
                                 "/x/z/f.url", "/w/g.Url", "/empty/sub/h.url"})
            touch(root + path);
        QDir().mkpath(QString::fromStdString(root + "/nothing"));
    }
};

} // namespace

TEST(FolderWalk, FilesOfAFolderComeBeforeItsSubfoldersAndEachSubtreeIsWalkedWhole)
{
    Tree tree;
    const auto visits = walkAll(tree.root);
    std::map<std::string, int> seen;
    for (const auto &v : visits)
        ++seen[v.folder + v.name];
    EXPECT_EQ(seen.size(), 8u);
    for (const auto &[path, count] : seen)
        EXPECT_EQ(count, 1) << path;
    EXPECT_FALSE(seen.count(tree.root + "/notes.txt"));

    for (std::size_t i = 0; i < visits.size(); ++i) {
        // Nothing below a folder is visited before that folder's own files are all done.
        for (std::size_t j = 0; j < i; ++j) {
            const bool earlierIsBelow = visits[j].folder.size() > visits[i].folder.size() &&
                                        visits[j].folder.compare(0, visits[i].folder.size(), visits[i].folder) == 0;
            EXPECT_FALSE(earlierIsBelow) << visits[j].folder << " before " << visits[i].folder;
        }
    }
    // x/y and x/z are each walked completely: no interleaving.
    std::vector<std::string> folders;
    for (const auto &v : visits)
        if (folders.empty() || folders.back() != v.folder)
            folders.push_back(v.folder);
    std::map<std::string, int> runs;
    for (const auto &f : folders)
        EXPECT_EQ(++runs[f], 1) << f << " visited in two runs";
    EXPECT_EQ(visits.front().folder, tree.root + "/");
}

TEST(FolderWalk, StopEndsTheWholeWalk)
{
    Tree tree;
    int calls = 0;
    const WalkResult result = walkFolder(tree.root, "*.url", [&](const std::string &, const DirectoryEntry &) {
        return ++calls == 3 ? WalkAnswer::Stop : WalkAnswer::Continue;
    });
    EXPECT_EQ(result, WalkResult::Stopped);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(walkFolder(tree.root, "*.url", countingVisitor(calls)), WalkResult::Completed);
    EXPECT_EQ(calls, 3 + 8);
    EXPECT_EQ(walkFolderNames(tree.root, "*.url", countingVisitor(calls)), WalkResult::Completed);
    EXPECT_EQ(calls, 3 + 8 + 8);
}

TEST(FolderWalk, SurvivesLinksLoopsOddNamesAndVanishingFiles)
{
    Tree tree;
    const std::string &root = tree.root;
    // A loop back to the top, a dangling link, a link to a file, a pipe named like a shortcut.
    ASSERT_EQ(::symlink(root.c_str(), (root + "/x/loop").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/missing").c_str(), (root + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink((root + "/a.url").c_str(), (root + "/w/alias.url").c_str()), 0);
    ASSERT_EQ(::mkfifo((root + "/pipe.url").c_str(), 0600), 0);
    const std::string odd = std::string("/q\"<&\x01\xff ") + std::string(200, 'n') + ".url";
    touch(root + odd);

    const auto visits = walkAll(root);
    EXPECT_EQ(visits.size(), 10u); // 8 + the link to a file + the odd name
    bool oddSeen = false;
    for (const auto &v : visits) {
        oddSeen = oddSeen || v.folder + v.name == root + odd;
        EXPECT_EQ(v.folder.find("/loop/"), std::string::npos);
    }
    EXPECT_TRUE(oddSeen);

    // A file removed while the walk runs is passed over.
    int count = 0;
    walkFolder(root, "*.url", [&](const std::string &folder, const DirectoryEntry &entry) {
        ++count;
        if (folder == root + "/x/y/")
            ::unlink((folder + (entry.name == "d.url" ? "e.url" : "d.url")).c_str());
        return WalkAnswer::Continue;
    });
    EXPECT_EQ(count, 9);
}

TEST(FolderWalk, GivesTheLastWriteTimeAndAddsTheMissingSlash)
{
    Tree tree;
    struct stat info;
    ASSERT_EQ(::stat((tree.root + "/a.url").c_str(), &info), 0);
    walkFolder(tree.root + "/", "a.url", [&](const std::string &folder, const DirectoryEntry &entry) {
        EXPECT_EQ(folder, tree.root + "/");
        EXPECT_EQ(entry.lastWrite, info.st_mtime);
        return WalkAnswer::Continue;
    });
    EXPECT_EQ(walkAll(tree.root + "/missing").size(), 0u);
}
