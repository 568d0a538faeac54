#include "platform/CodePage.h"

#include <gtest/gtest.h>

TEST(CodePage, HighBytesMapBothWays) {
    const std::string bytes = "\x80\x9a\xe9\x81 A";
    const QString text = Cp1252ToQString(bytes);
    EXPECT_EQ(text, QString::fromUtf8("\u20ac\u0161\u00e9\u0081 A"));
    EXPECT_EQ(QStringToCp1252(text), bytes);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
    EXPECT_EQ(QStringToCp1252(QString::fromUtf8("a\u4e2db")), "a?b");
}
