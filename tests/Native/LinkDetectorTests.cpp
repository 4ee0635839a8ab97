#include "Native/Language/LinkDetector.h"

#include <gtest/gtest.h>

#include <QString>

#include <ostream>

using Lumivox::Native::LinkDetector;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// The text of the first link found, or "" when there is none.
QString firstLink(const char *text)
{
    static const auto detector = LinkDetector::makeDefault();
    const QString s = QString::fromUtf8(text);
    const auto match = detector->firstMatch(s);
    return match ? s.mid(match->start, match->length) : QString();
}

} // namespace

TEST(LinkDetector, FindsEachKindOfLink)
{
    ASSERT_TRUE(LinkDetector::makeDefault());
    EXPECT_EQ(firstLink("https://example.com/a?b=c#d"), "https://example.com/a?b=c#d");
    EXPECT_EQ(firstLink("ftp://files.example.org"), "ftp://files.example.org");
    EXPECT_EQ(firstLink("mailto:me@example.org"), "mailto:me@example.org");
    EXPECT_EQ(firstLink("www.google.com"), "www.google.com");
    EXPECT_EQ(firstLink("WWW.FOO.COM"), "WWW.FOO.COM");
    EXPECT_EQ(firstLink("user.name+tag@mail.example.co.uk"), "user.name+tag@mail.example.co.uk");
    EXPECT_EQ(firstLink("google.com"), "google.com");
    EXPECT_EQ(firstLink("foo.io/path?x=1"), "foo.io/path?x=1");
    EXPECT_EQ(firstLink("localhost.dev:8080/x"), "localhost.dev:8080/x");
}

TEST(LinkDetector, LeavesFileNamesAbbreviationsAndPunctuationOut)
{
    for (const char *text : {"file.txt", "main.py", "archive.tar.gz", "example.com.txt", "example.community", "U.S.",
                             "e.g.", "etc.", "a.b", "http://", "x@y", "plain words"})
        EXPECT_EQ(firstLink(text), QString()) << text;

    // The first of several, without the sentence's punctuation; a bracket the link opened stays.
    EXPECT_EQ(firstLink("Visit example.com, or www.b.org."), "example.com");
    EXPECT_EQ(firstLink("(see https://x.org/wiki/Foo_(bar))."), "https://x.org/wiki/Foo_(bar)");
    EXPECT_EQ(firstLink("\"https://x.org/a\"!"), "https://x.org/a");
    // Part of a word only: the caller decides what partial coverage means.
    EXPECT_EQ(firstLink("go to x.org/a now"), "x.org/a");
}
