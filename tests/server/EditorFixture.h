#pragma once

#include "catalogue/MenuOrder.h"
#include "platform/TextEncodings.h"
#include "server/editor/FormProcessor.h"
#include "support/TestContext.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <gtest/gtest.h>

namespace vistrel::test {

// A Favorites tree in a temporary HOME and the form processor that changes it.
class EditorFixture : public ::testing::Test
{
protected:
    QString fav(const QString &relative) const { return t.paths.favoritesFolder + "/" + relative; }

    void makeFavourite(const QString &relative, const QByteArray &url = "http://example.com/")
    {
        QDir().mkpath(QFileInfo(fav(relative)).path());
        QFile file(fav(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[InternetShortcut]\r\nURL=" + url + "\r\n");
    }

    bool exists(const QString &relative) const { return QFileInfo::exists(fav(relative)); }

    // Every file below Favorites, relative, sorted.
    QStringList tree() const
    {
        QStringList out;
        const QString root = t.paths.favoritesFolder + "/";
        std::function<void(const QString &)> walk = [&](const QString &folder) {
            for (const QFileInfo &info : QDir(folder).entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
                if (info.isDir() && !info.isSymLink())
                    walk(info.filePath());
                else if (!info.isDir())
                    out << info.filePath().mid(root.size());
            }
        };
        walk(t.paths.favoritesFolder);
        out.sort();
        return out;
    }

    // The UNIQUE a page carries for a favourite.
    QByteArray unique(const QString &relative) const
    {
        return QByteArray::fromStdString(platform::hexEncode(QFile::encodeName(fav(relative)).toStdString()));
    }

    // A value as a browser encodes it in a form body.
    static QByteArray formValue(const QString &value)
    {
        QByteArray encoded = QUrl::toPercentEncoding(value);
        encoded.replace("%20", "+");
        return encoded;
    }

    static QByteArray piece(const char *prefix, const QByteArray &identifier, const QString &value)
    {
        return prefix + identifier + "=" + formValue(value);
    }

    void setOrders(const std::string &relative, const std::string &value)
    {
        ASSERT_TRUE(t.registry.writeBinary(QString::fromStdString(catalogue::menuOrderKey(relative)), "Order",
                                           QByteArray::fromStdString(value)));
    }

    QByteArray submit(const QByteArray &body, const QByteArray &path = server::kEditorAddress)
    {
        server::FormProcessor processor(t.context, [this](const std::string &url) {
            fetched.push_back(url);
            return title;
        });
        return processor.process({path, "HTTP/1.0", QStringLiteral("127.0.0.1"), body});
    }

    // The action report of the last post, a line each.
    QStringList report() const
    {
        QByteArray record = QFile(t.paths.formRecordPath()).exists() ? lastRecord() : QByteArray();
        const qsizetype at = record.indexOf("Action taken : ");
        QStringList lines = QString::fromUtf8(record.mid(at + 15)).split("\r\n");
        lines.removeLast();
        return lines;
    }

    QByteArray lastRecord() const
    {
        QFile file(t.paths.formRecordPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray all = file.readAll();
        // Records follow each other directly; each begins with its time stamp.
        const qsizetype at = all.lastIndexOf(" there were ");
        return at < 16 ? all : all.mid(at - 15);
    }

    TestContext t;
    std::string title;
    std::vector<std::string> fetched;
};

} // namespace vistrel::test
