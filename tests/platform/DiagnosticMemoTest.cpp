#include "platform/DiagnosticMemo.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace vistrel;

TEST(DiagnosticMemo, FilesLogHoldsExactlyTheMemoAfterEverySave)
{
    test::TempHome home;
    const QString path = home.file("files.log");
    platform::DiagnosticMemo memo(path);
    memo.add("one");
    memo.save();
    memo.add("two");
    memo.add("caf\u00e9");
    memo.save();
    EXPECT_EQ(test::readAll(path), QByteArray("one\r\ntwo\r\ncaf\xc3\xa9\r\n"));

    // Changed behind the memo's back: the next save writes it whole again.
    test::writeAll(path, "garbage");
    memo.add("three");
    memo.save();
    EXPECT_EQ(test::readAll(path), QByteArray("one\r\ntwo\r\ncaf\xc3\xa9\r\nthree\r\n"));

    // Replaced by another file: the new one gets the whole memo.
    QFile::remove(path);
    test::writeAll(path, "");
    memo.add("four");
    memo.save();
    EXPECT_EQ(test::readAll(path), QByteArray("one\r\ntwo\r\ncaf\xc3\xa9\r\nthree\r\nfour\r\n"));

    // Cleared: the file keeps the old lines until the next save replaces them.
    memo.clear();
    EXPECT_EQ(test::readAll(path), QByteArray("one\r\ntwo\r\ncaf\xc3\xa9\r\nthree\r\nfour\r\n"));
    memo.add("fresh");
    memo.save();
    EXPECT_EQ(test::readAll(path), QByteArray("fresh\r\n"));
}
