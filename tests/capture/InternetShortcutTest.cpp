#include "capture/InternetShortcut.h"
#include "capture/PropertyReader.h"
#include "capture/UrlCacheLookup.h"
#include "capture/ValueToText.h"
#include "support/RecordingPresenter.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vistrel::capture;

namespace {

struct Loaded
{
    InternetShortcut shortcut;
    std::unique_ptr<PropertyStorage> shortcutSet, siteSet;
};

std::unique_ptr<Loaded> load(const QByteArray &bytes, const UrlCacheLookup *cache = nullptr)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("s.url");
    vistrel::test::writeAll(path, bytes);
    auto loaded = std::make_unique<Loaded>(Loaded{InternetShortcut(cache), {}, {}});
    EXPECT_EQ(loaded->shortcut.load(path), S_OK);
    EXPECT_EQ(loaded->shortcut.openPropertySet(FMTID_Intshcut, loaded->shortcutSet), S_OK);
    EXPECT_EQ(loaded->shortcut.openPropertySet(FMTID_InternetSite, loaded->siteSet), S_OK);
    return loaded;
}

PropVariant read(const PropertyStorage &storage, PropertyId id)
{
    PropVariant value;
    storage.readMultiple(id, value);
    return value;
}

class History : public UrlCacheLookup
{
public:
    std::optional<UrlCacheEntry> lookup(const std::string &url) const override
    {
        if (url != "http://example.com/")
            return std::nullopt;
        return UrlCacheEntry{42, QDateTime(QDate(2026, 5, 1), QTime(10, 0), QTimeZone::utc()), "Example Domain"};
    }
};

} // namespace

TEST(InternetShortcut, KeysAndPropertySetsWithTheirTypes)
{
    const auto s = load("[InternetShortcut]\r\n"
                        "URL=http://example.com/\r\n"
                        "WorkingDirectory=C:\\Temp\r\n"
                        "HotKey=1601\r\n"
                        "ShowCommand=3\r\n"
                        "IconIndex=-2\r\n"
                        "IconFile=C:\\icon.ico\r\n"
                        "Modified=00C0A3E6B7D9DC0138\r\n"
                        "[{000214A0-0000-0000-C000-000000000046}]\r\n"
                        "Prop2=31,http://ignored.example/\r\n"
                        "Prop4=31,Named \xc3\xa9\r\n"
                        "Prop11=30,An Author\r\n"
                        "[{000214A1-0000-0000-C000-000000000046}]\r\n"
                        "Prop3=31,Someone\r\n"
                        "Prop6=19,9\r\n"
                        "Prop9=11,-1\r\n"
                        "Prop10=3,0x80004005\r\n"
                        "Prop11=10,5\r\n"
                        "Prop12=7,45000.5\r\n"
                        "Prop13=72,{000214A1-0000-0000-C000-000000000046}\r\n"
                        "Prop18=2,1252\r\n");
    const auto &set = *s->shortcutSet;
    EXPECT_EQ(read(set, PID_IS_URL).vt, VT_LPSTR);
    EXPECT_EQ(valueToText(read(set, PID_IS_URL)), "http://example.com/");
    EXPECT_EQ(valueToText(read(set, PID_IS_WORKINGDIR)), "C:\\Temp");
    EXPECT_EQ(read(set, PID_IS_HOTKEY).vt, VT_UI2);
    EXPECT_EQ(valueToText(read(set, PID_IS_HOTKEY)), "1601");
    EXPECT_EQ(read(set, PID_IS_SHOWCMD).vt, VT_I4);
    EXPECT_EQ(valueToText(read(set, PID_IS_ICONINDEX)), "-2");
    EXPECT_EQ(valueToText(read(set, PID_IS_ICONFILE)), "C:\\icon.ico");
    EXPECT_EQ(read(set, PID_IS_NAME).vt, VT_LPWSTR);
    EXPECT_EQ(valueToText(read(set, PID_IS_NAME)), "Named \xc3\xa9");
    EXPECT_EQ(valueToText(read(set, 11)), "An Author");
    PropVariant absent;
    EXPECT_EQ(set.readMultiple(12, absent), S_FALSE);
    EXPECT_EQ(absent.vt, VT_EMPTY);

    const auto &site = *s->siteSet;
    EXPECT_EQ(valueToText(read(site, 3)), "Someone");
    EXPECT_EQ(read(site, PID_INTSITE_VISITCOUNT).vt, VT_UI4);
    EXPECT_EQ(valueToText(read(site, 9)), "True");
    EXPECT_EQ(valueToText(read(site, 10)), "-2147467259");
    EXPECT_EQ(valueToText(read(site, 11)), "Error code: 5");
    EXPECT_EQ(valueToText(read(site, 12)), "Unsupported property type:7");
    EXPECT_EQ(valueToText(read(site, 13)), "{000214A1-0000-0000-C000-000000000046}");
    EXPECT_EQ(valueToText(read(site, 18)), "1252");
    // Modified: a FILETIME, lowest byte first.
    EXPECT_EQ(read(site, PID_INTSITE_LASTMOD).vt, VT_FILETIME);
    EXPECT_EQ(std::uint64_t(read(site, PID_INTSITE_LASTMOD).integer), 0x01DCD9B7E6A3C000ULL);
}

TEST(InternetShortcut, SiteSetJoinsTheBrowsersHistory)
{
    History history;
    const auto s = load("[InternetShortcut]\nURL=http://example.com/#top\n", &history);
    const auto &site = *s->siteSet;
    EXPECT_EQ(valueToText(read(site, PID_INTSITE_VISITCOUNT)), "42");
    EXPECT_EQ(valueToText(read(site, PID_INTSITE_TITLE)), "Example Domain");
    EXPECT_EQ(valueToText(read(site, PID_INTSITE_URL)), "http://example.com/#top");
    EXPECT_EQ(read(site, PID_INTSITE_LASTVISIT).vt, VT_FILETIME);

    const auto unknown = load("[InternetShortcut]\nURL=http://other.example/\n", &history);
    EXPECT_EQ(read(*unknown->siteSet, PID_INTSITE_VISITCOUNT).vt, VT_EMPTY);
}

TEST(InternetShortcut, MalformedFilesReadEmptyOrAsWritten)
{
    // No section at all.
    auto s = load("URL=http://example.com/\n");
    EXPECT_EQ(read(*s->shortcutSet, PID_IS_URL).vt, VT_EMPTY);

    // Binary garbage.
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char((i * 131 + 7) % 256);
    s = load(garbage);
    EXPECT_EQ(read(*s->shortcutSet, PID_IS_URL).vt, VT_EMPTY);

    // Duplicate keys and sections: the first wins; case does not matter.
    s = load("[internetshortcut]\nurl=http://first/\nURL=http://second/\n[InternetShortcut]\nURL=http://third/\n");
    EXPECT_EQ(valueToText(read(*s->shortcutSet, PID_IS_URL)), "http://first/");

    // Spaces, no scheme, odd bytes: as written, trimmed at the ends.
    s = load("[InternetShortcut]\nURL=  www.example.com/a b \xff\n");
    EXPECT_EQ(valueToText(read(*s->shortcutSet, PID_IS_URL)), "www.example.com/a b \xff");

    // A 100 KB line.
    const QByteArray longUrl = "http://example.com/" + QByteArray(100 * 1024, 'x');
    s = load("[InternetShortcut]\nURL=" + longUrl + "\nHotKey=12\n");
    EXPECT_EQ(valueToText(read(*s->shortcutSet, PID_IS_URL)), longUrl.toStdString());
    EXPECT_EQ(valueToText(read(*s->shortcutSet, PID_IS_HOTKEY)), "12");

    // Numbers that are no numbers, values that do not fit their type, NUL bytes.
    const char raw[] = "[InternetShortcut]\nURL=http://a/\0hidden\nHotKey=abc\nIconIndex=99999999999\n"
                       "[{000214A1-0000-0000-C000-000000000046}]\nProp6=19,-4\nProp7=nonsense\nProp8\nProp9=999,x\n";
    s = load(QByteArray(raw, sizeof raw - 1));
    EXPECT_EQ(valueToText(read(*s->shortcutSet, PID_IS_URL)), "http://a/");
    EXPECT_EQ(read(*s->shortcutSet, PID_IS_HOTKEY).vt, VT_EMPTY);
    EXPECT_EQ(read(*s->shortcutSet, PID_IS_ICONINDEX).vt, VT_EMPTY);
    EXPECT_EQ(read(*s->siteSet, 6).vt, VT_EMPTY);
    EXPECT_EQ(read(*s->siteSet, 7).vt, VT_EMPTY);
    EXPECT_EQ(valueToText(read(*s->siteSet, 9)), "Unsupported property type:999");
}

TEST(InternetShortcut, MissingFileAndUnknownSet)
{
    InternetShortcut shortcut;
    EXPECT_TRUE(failed(shortcut.load("/nonexistent/x.url")));
    std::unique_ptr<PropertyStorage> storage;
    EXPECT_EQ(shortcut.openPropertySet(FMTID_Intshcut, storage), S_OK);
    PropVariant value;
    EXPECT_EQ(storage->readMultiple(PID_IS_URL, value), S_FALSE);
    EXPECT_TRUE(failed(shortcut.openPropertySet(QUuid::createUuid(), storage)));
}

TEST(PropertyReader, ShowsTheMessageOnlyOnFailure)
{
    vistrel::test::RecordingPresenter messages;
    PropertyStorage storage;
    storage.set(2, PropVariant::ofAnsi("x"));
    PropVariant value;
    EXPECT_EQ(readOneProperty(messages, &storage, 2, value), S_OK);
    EXPECT_EQ(readOneProperty(messages, &storage, 3, value), S_FALSE);
    EXPECT_TRUE(messages.shown.isEmpty());
    EXPECT_TRUE(failed(readOneProperty(messages, nullptr, 2, value)));
    EXPECT_EQ(messages.texts(), QStringList{"error ReadMultiple"});
    EXPECT_EQ(value.vt, VT_EMPTY);
}
