#pragma once

#include "catalogue/RefreshDriver.h"
#include "support/TestContext.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace vistrel::test {

// A program context on a temporary HOME with a refresh driver over its Favorites folder.
struct RefreshFixture : TestContext
{
    catalogue::RefreshDriver driver{context};
    std::string root = QFile::encodeName(paths.favoritesFolder).toStdString();

    // Creates a shortcut by raw bytes below the Favorites folder ("/sub/name.url").
    void shortcut(const std::string &relative)
    {
        const std::string path = root + relative;
        const std::string folder = path.substr(0, path.rfind('/'));
        for (std::size_t at = 0; at != std::string::npos;) {
            at = folder.find('/', at + 1);
            ::mkdir(folder.substr(0, at).c_str(), 0755);
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << path;
        const char content[] = "[InternetShortcut]\r\nURL=http://example.com/\r\n";
        ASSERT_EQ(::write(fd, content, sizeof content - 1), ssize_t(sizeof content - 1));
        ::close(fd);
    }

    QString listingPath() const { return paths.dataFolder + QStringLiteral("listings.xml"); }
    std::string listing() const { return readAll(listingPath()).toStdString(); }

    // A page image file of the given generation, as the capture names it.
    QString image(int generation, const QString &folder, const char *name = "41")
    {
        const QString path = folder + QString::fromStdString(catalogue::RefreshDriver::generationPattern(generation))
                                          .replace(QLatin1Char('*'), QLatin1String(name));
        writeAll(path, "BM");
        return path;
    }
};

} // namespace vistrel::test
