#include "capture/ValueToText.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace vistrel::capture;

TEST(ValueToText, EveryTypeOfTheTable)
{
    for (std::uint16_t empty : {VT_EMPTY, VT_NULL, VT_VOID, VT_ILLEGAL})
        EXPECT_EQ(valueToText(PropVariant::ofType(empty)), "") << empty;

    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_I2, -5)), "-5");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_I4, -2147483647 - 1)), "-2147483648");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_INT, 7)), "7");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_UI1, 255)), "255");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_UI2, 65535)), "65535");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_UI4, 4294967295LL)), "4294967295");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_UINT, 3)), "3");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_I8, -9000000000LL)), "-9000000000");
    // Read as signed, also for the unsigned type.
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_UI8, -1)), "-1");

    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_R8, 1.5)), "1.5");
    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_R8, 1.0 / 3)), "0.333333333333333");
    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_R8, 1e20)), "1E20");
    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_R8, 0.00001)), "1E-5");
    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_R4, 0.5)), "0.5");

    EXPECT_EQ(valueToText(PropVariant::ofWide(u"Caf\u00e9", VT_BSTR)), "Caf\xc3\xa9");
    EXPECT_EQ(valueToText(PropVariant::ofWide(u"\u4e2d")), "\xe4\xb8\xad");
    EXPECT_EQ(valueToText(PropVariant::ofAnsi("raw \xff bytes")), "raw \xff bytes");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_ERROR, -2147467259)), "Error code: -2147467259");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_BOOL, -1)), "True");
    EXPECT_EQ(valueToText(PropVariant::ofInteger(VT_BOOL, 0)), "False");
    EXPECT_EQ(valueToText(PropVariant::ofClsid(QUuid("{000214a0-0000-0000-c000-000000000046}"))),
              "{000214A0-0000-0000-C000-000000000046}");

    EXPECT_EQ(valueToText(PropVariant::ofReal(VT_DATE, 45000)), "Unsupported property type:7");
    EXPECT_EQ(valueToText(PropVariant::ofType(VT_I1)), "Unsupported property type:16");
    EXPECT_EQ(valueToText(PropVariant::ofType(VT_BLOB)), "Unsupported property type:65");
}

TEST(ValueToText, FileTimeGivesTheLocalDateAlone)
{
    // Noon UTC on 8 December 2026, in 100-ns ticks since 1601.
    const QDateTime noon(QDate(2026, 12, 8), QTime(12, 0), QTimeZone::utc());
    const std::uint64_t ticks = 116444736000000000ULL + std::uint64_t(noon.toMSecsSinceEpoch()) * 10000ULL;
    const std::string text = valueToText(PropVariant::ofFileTime(ticks));
    EXPECT_EQ(text, QLocale::system().toString(noon.toLocalTime().date(), QLocale::ShortFormat).toStdString());
    EXPECT_EQ(text.find(':'), std::string::npos);
}
