#include "server/http/HttpPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace vistrel::server::httppath;

TEST(HttpPath, PercentDecoding)
{
    EXPECT_EQ(percentDecode("/a%20b.htm"), "/a b.htm");
    EXPECT_EQ(percentDecode("%2e%2E%2f"), "../");
    EXPECT_EQ(percentDecode("a+b"), "a+b");
    // Not an escape, or too close to the end to be one: left alone.
    EXPECT_EQ(percentDecode("%zz%4"), "%zz%4");
    EXPECT_EQ(percentDecode("ab%"), "ab%");
    EXPECT_EQ(percentDecode("%252e"), "%2e");
    EXPECT_EQ(percentDecode("%c0%ae"), QByteArray("\xc0\xae"));
}

TEST(HttpPath, Normalisation)
{
    EXPECT_EQ(normalise(""), "");
    EXPECT_EQ(normalise("."), "");
    EXPECT_EQ(normalise(".."), "");
    EXPECT_EQ(normalise("/"), "/");
    EXPECT_EQ(normalise("/d/a/./b"), "/d/a/b");
    EXPECT_EQ(normalise("/d/a/../b"), "/d/b");
    EXPECT_EQ(normalise("/d/../../../etc"), "/etc");
    EXPECT_EQ(normalise("/d//a///b/"), "/d/a/b/");
    EXPECT_EQ(normalise("/d/a/."), "/d/a");
    EXPECT_EQ(normalise("/d/a/.."), "/d");
    EXPECT_EQ(normalise("/d/..."), "/d/...");
}

TEST(HttpPath, MappingKeepsEveryTrickInsideOrMarksItOutside)
{
    const QByteArray root = "/srv/docs";
    EXPECT_EQ(mapPath("/", root).Document, root);
    EXPECT_EQ(mapPath("/a%20b.htm", root).Document, "/srv/docs/a b.htm");
    EXPECT_FALSE(mapPath("/sub/../x.htm", root).OutsideRoot);

    const char *escapes[] = {
        "/../secret.txt", "/%2e%2e/secret.txt", "/%2E%2E%2Fsecret.txt", "/..%2fsecret.txt",
        "/..\\secret.txt", "/%2e%2e%5csecret.txt", "/sub/../../secret.txt", "/../docs2/x",
    };
    for (const char *path : escapes) {
        const Mapping m = mapPath(path, root);
        EXPECT_TRUE(m.OutsideRoot) << path << " -> " << m.Document.constData();
    }
    // A NUL byte cannot name a file; the path maps to nothing at all.
    const Mapping nul = mapPath("/x.htm%00.txt", root);
    EXPECT_TRUE(nul.OutsideRoot);
    EXPECT_TRUE(nul.Document.isEmpty());
    // Linux names differ by case: another spelling of the root is another folder.
    EXPECT_TRUE(mapPath("/../DOCS/x", root).OutsideRoot);
    EXPECT_TRUE(isInsideRoot("/x", "/"));
    EXPECT_FALSE(isInsideRoot("/srv/docsx", root));
}

TEST(HttpPath, OpeningNeverLeavesTheRoot)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkpath("docs/sub"));
    QFile secret(dir.filePath("secret.txt"));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("secret");
    secret.close();
    QFile inside(dir.filePath("docs/sub/in.txt"));
    ASSERT_TRUE(inside.open(QIODevice::WriteOnly));
    inside.close();
    ASSERT_EQ(::symlink((base + "/secret.txt").constData(), (base + "/docs/out.txt").constData()), 0);
    ASSERT_EQ(::symlink("../..", (base + "/docs/sub/up").constData()), 0);
    ASSERT_EQ(::symlink("sub/in.txt", (base + "/docs/alias.txt").constData()), 0);

    DocumentRoot root(base + "/docs");
    auto open = [&](const QByteArray &relative) {
        OpenResult r = openDocument(base + "/docs/" + relative, root);
        if (r.Fd >= 0)
            ::close(r.Fd);
        return r;
    };
    EXPECT_GE(open("sub/in.txt").Fd, 0);
    EXPECT_GE(open("alias.txt").Fd, 0);
    EXPECT_TRUE(open("out.txt").Escaped);
    EXPECT_TRUE(open("sub/up/secret.txt").Escaped);
    EXPECT_EQ(open("missing.txt").Error, ENOENT);

    // The fallback for systems without openat2 draws the same line.
    auto resolved = [&](const QByteArray &relative) {
        OpenResult r = openConfinedResolved(base + "/docs/" + relative, base + "/docs");
        if (r.Fd >= 0)
            ::close(r.Fd);
        return r;
    };
    EXPECT_GE(resolved("sub/in.txt").Fd, 0);
    EXPECT_GE(resolved("alias.txt").Fd, 0);
    EXPECT_TRUE(resolved("out.txt").Escaped);
    EXPECT_TRUE(resolved("sub/up/secret.txt").Escaped);
    EXPECT_EQ(resolved("missing.txt").Error, ENOENT);

    // The folder replaced by a new one of the same name is found again.
    ASSERT_TRUE(QDir(dir.filePath("docs")).removeRecursively());
    ASSERT_TRUE(QDir(dir.path()).mkpath("docs"));
    QFile fresh(dir.filePath("docs/new.txt"));
    ASSERT_TRUE(fresh.open(QIODevice::WriteOnly));
    fresh.close();
    EXPECT_GE(open("new.txt").Fd, 0);
}

TEST(HttpPath, DefaultDocument)
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path());
    ASSERT_TRUE(QDir(dir.path()).mkpath("with"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("without"));
    QFile viewer(dir.filePath("with/viewer.htm"));
    ASSERT_TRUE(viewer.open(QIODevice::WriteOnly));
    viewer.close();
    EXPECT_EQ(applyDefaultDocument(base + "/with/", "viewer.htm"), base + "/with/viewer.htm");
    EXPECT_EQ(applyDefaultDocument(base + "/with", "viewer.htm"), base + "/with/viewer.htm");
    EXPECT_EQ(applyDefaultDocument(base + "/without", "viewer.htm"), base + "/without");
    EXPECT_EQ(applyDefaultDocument(base + "/with/viewer.htm", "viewer.htm"), base + "/with/viewer.htm");
}
