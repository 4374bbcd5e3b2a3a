#include "platform/RegistryDocument.h"
#include "platform/RegistryFile.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QStringDecoder>
#include <gtest/gtest.h>

using namespace vistrel::platform;
using vistrel::test::readAll;
using vistrel::test::TempHome;
using vistrel::test::writeAll;

namespace {
const QString kMain = QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main");
}

TEST(RegistryFile, ValuesRoundTripByteExactWithCaseInsensitiveNames)
{
    TempHome home;
    RegistryFile reg;
    QByteArray binary;
    for (int i = 0; i < 300; ++i)
        binary.append(char(i * 7));
    ASSERT_TRUE(reg.writeString(kMain, "Start Page", "http://example.org/a\\b\"c\""));
    ASSERT_TRUE(reg.writeDword(kMain, "Count", 0xDEADBEEF));
    ASSERT_TRUE(reg.writeBinary(kMain.toLower(), "Order", binary));

    RegistryFile again;
    EXPECT_EQ(again.readString(kMain.toUpper(), "START PAGE"), QString("http://example.org/a\\b\"c\""));
    EXPECT_EQ(again.readDword(kMain, "count"), 0xDEADBEEFu);
    EXPECT_EQ(again.readBinary(kMain, "order"), binary);
    // One key, not two differing in case.
    EXPECT_EQ(QString::fromUtf8(readAll(reg.path())).count("[HKEY_CURRENT_USER", Qt::CaseInsensitive), 1);
    EXPECT_TRUE(readAll(reg.path()).startsWith("Windows Registry Editor Version 5.00\r\n"));

    ASSERT_TRUE(again.deleteValue(kMain, "START PAGE"));
    EXPECT_FALSE(again.readString(kMain, "Start Page").has_value());
    EXPECT_FALSE(again.deleteValue(kMain, "Start Page"));
}

TEST(RegistryFile, ATrailingBackslashNamesTheSameKey)
{
    // The menu order of the Favorites folder itself is spelled "...\Favorites\".
    TempHome home;
    const QString order = QStringLiteral(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites");
    RegistryFile reg;
    writeAll(reg.path(), "Windows Registry Editor Version 5.00\r\n\r\n[" + order.toUtf8() + "\\]\r\n\"Order\"=hex:01,02\r\n");
    EXPECT_EQ(reg.readBinary(order, "Order"), QByteArray("\x01\x02"));
    EXPECT_EQ(reg.readBinary(order + "\\", "Order"), QByteArray("\x01\x02"));

    ASSERT_TRUE(reg.writeString(order + "\\\\", "Other", "x"));
    ASSERT_TRUE(reg.writeBinary(order, "Order", "\x03"));
    EXPECT_EQ(reg.readString(order, "Other"), QString("x"));
    EXPECT_EQ(reg.readBinary(order + "\\", "Order"), QByteArray("\x03"));
    EXPECT_TRUE(reg.deleteValue(order + "\\", "Other"));
    const QString file = QString::fromUtf8(readAll(reg.path()));
    EXPECT_EQ(file.count("MenuOrder"), 1) << file.toStdString();
    EXPECT_TRUE(file.contains("\\Favorites]")) << file.toStdString();
}

TEST(RegistryFile, ReadsRegeditExportsInUtf16AndContinuationLines)
{
    TempHome home;
    const QString text = QStringLiteral(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "; exported\r\n"
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites]\r\n"
        "\"Order\"=hex:08,00,00,00,\\\r\n  02,00,00,00,\\\r\n  ff\r\n"
        "@=\"default\"\r\n"
        "\"Off\"=dword:00000001\r\n");
    QByteArray utf16("\xFF\xFE");
    for (QChar c : text) {
        utf16.append(char(c.unicode() & 0xFF));
        utf16.append(char(c.unicode() >> 8));
    }
    RegistryFile reg;
    writeAll(reg.path(), utf16);
    const QString key = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Favorites";
    EXPECT_EQ(reg.readBinary(key, "Order"), QByteArray::fromHex("0800000002000000ff"));
    EXPECT_EQ(reg.readString(key, QString()), QString("default"));
    EXPECT_EQ(reg.readDword(key, "off"), 1u);
}

TEST(RegistryFile, BrokenKeyReadsEmptyAndIsKeptWhenOthersAreWritten)
{
    TempHome home;
    RegistryFile reg;
    const QByteArray original =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Broken]\r\n"
        "\"Good\"=\"yes\"\r\n"
        "\"Bad\"=hex:zz,01\r\n\r\n"
        "[HKEY_CURRENT_USER\\Fine]\r\n"
        "\"Value\"=\"kept\"\r\n\r\n"
        // A key line continued on the next one, in a key that does not parse:
        // both halves are written back.
        "[HKEY_CURRENT_USER\\Split\\\r\n"
        "  Name]\r\n"
        "\"Bad\"=dword:zz\r\n";
    writeAll(reg.path(), original);

    EXPECT_FALSE(reg.readString("HKEY_CURRENT_USER\\Broken", "Good").has_value());
    EXPECT_EQ(reg.readString("HKEY_CURRENT_USER\\Fine", "Value"), QString("kept"));
    EXPECT_FALSE(reg.writeString("HKEY_CURRENT_USER\\Broken", "Good", "no"));
    EXPECT_EQ(readAll(reg.path()), original); // a refused write leaves the file alone

    ASSERT_TRUE(reg.writeString("HKEY_CURRENT_USER\\Other", "New", "value"));
    const QByteArray after = readAll(reg.path());
    EXPECT_TRUE(after.contains("\"Bad\"=hex:zz,01")) << after.constData();
    EXPECT_TRUE(after.contains("\"Good\"=\"yes\""));
    EXPECT_TRUE(after.contains("[HKEY_CURRENT_USER\\Split\\\r\n  Name]\r\n\"Bad\"=dword:zz")) << after.constData();
    EXPECT_EQ(reg.readString("HKEY_CURRENT_USER\\Fine", "Value"), QString("kept"));
    EXPECT_EQ(reg.readString("HKEY_CURRENT_USER\\Other", "New"), QString("value"));
}

TEST(RegistryFile, GarbageAndMissingFilesNeverCrash)
{
    TempHome home;
    RegistryFile reg;
    EXPECT_FALSE(reg.keyExists("HKEY_CURRENT_USER\\Nothing"));
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 131) % 256));
    writeAll(reg.path(), garbage + "\n[\n[]\n\"x\"=\n\"y\"=dword:123456789\n");
    EXPECT_FALSE(reg.readString("HKEY_CURRENT_USER\\Nothing", "x").has_value());
    ASSERT_TRUE(reg.writeString("HKEY_CURRENT_USER\\Now", "v", "1"));
    EXPECT_EQ(reg.readString("HKEY_CURRENT_USER\\Now", "v"), QString("1"));
    EXPECT_GE(readAll(reg.path()).size(), garbage.size()); // nothing that was there is dropped
}

TEST(RegistryFile, BuiltInHtmlClassAnswersUntilTheFileOverridesIt)
{
    TempHome home;
    RegistryFile reg;
    EXPECT_EQ(reg.readString("HKEY_CLASSES_ROOT\\.htm", QString()), QString("htmlfile"));
    EXPECT_EQ(reg.readString("HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command", QString()),
              QString("xdg-open \"%1\""));
    ASSERT_TRUE(reg.writeString("HKEY_CLASSES_ROOT\\.htm", QString(), "myhtml"));
    EXPECT_EQ(reg.readString("HKEY_CLASSES_ROOT\\.htm", QString()), QString("myhtml"));
}

TEST(RegistryFile, KeysAreFoundCaseBlindAfterDeletionsRepeatsAndAStrayPreamble)
{
    // A value line before any key becomes a key of its own at the front, a
    // "[-key]" line removes a key, a key named twice is one key: every later
    // look-up must still land on the right key and nothing else.
    RegistryDocument doc = RegistryDocument::parse(
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "\"stray\"=\"x\"\r\n"
        "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"a1\"\r\n"
        "[HKEY_CURRENT_USER\\B]\r\n\"v\"=\"b\"\r\n"
        "[-hkey_current_user\\a]\r\n"
        "[HKEY_CURRENT_USER\\C]\r\n\"v\"=\"c\"\r\n"
        "[hkey_current_user\\b]\r\n\"w\"=\"b2\"\r\n"
        "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"a2\"\r\n");
    const auto value = [&](const QString &key, const QString &name) -> QString {
        const RegistryDocument::Key *k = std::as_const(doc).find(key);
        if (!k)
            return QStringLiteral("<no key>");
        for (const auto &e : k->entries)
            if (e.name == name)
                return e.value.text;
        return QStringLiteral("<no value>");
    };
    EXPECT_EQ(value("HKEY_CURRENT_USER\\a", "v"), "a2");
    EXPECT_EQ(value("HKEY_CURRENT_USER\\B", "v"), "b");
    EXPECT_EQ(value("HKEY_CURRENT_USER\\B", "w"), "b2");
    EXPECT_EQ(value("Hkey_Current_User\\C", "v"), "c");
    EXPECT_EQ(value("HKEY_CURRENT_USER\\D", "v"), "<no key>");
    EXPECT_EQ(value("", "stray"), "<no key>");

    doc.findOrAdd("HKEY_CURRENT_USER\\D").entries.append({"v", RegistryValue{}});
    EXPECT_EQ(&doc.findOrAdd("hkey_current_user\\d"), doc.find("HKEY_CURRENT_USER\\D"));
    EXPECT_EQ(value("HKEY_CURRENT_USER\\c", "v"), "c");
    // Changed behind the index, the list is still searched right.
    doc.keys.removeFirst();
    EXPECT_EQ(value("HKEY_CURRENT_USER\\B", "w"), "b2");
    EXPECT_EQ(value("HKEY_CURRENT_USER\\D", "v"), "");
}
