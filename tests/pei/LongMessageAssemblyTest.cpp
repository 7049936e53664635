#include "pei/LongMessageAssembly.h"

#include "tests/support/PrintByteArray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using ReceivedText::Content;

Content part(int reference, int count, int number, const QByteArray &octets, bool wide = false)
{
    Content content;
    content.codingScheme = ReceivedText::Latin1Scheme;
    content.octets = octets;
    ReceivedText::Part where;
    where.reference = quint16(reference);
    where.wideReference = wide;
    where.count = count;
    where.number = number;
    content.part = where;
    return content;
}

TEST(LongMessageAssemblyTest, PartsInOrderAreShownOnceWhole)
{
    LongMessageAssembly assembly;
    Content first = part(0xC9, 3, 1, "Hello, ");
    first.timestamp = 0x045A8F;
    EXPECT_FALSE(assembly.add("5678", first, 0));
    EXPECT_FALSE(assembly.add("5678", part(0xC9, 3, 2, "long "), 10));
    EXPECT_EQ(assembly.openSets(), 1);
    const std::optional<Content> whole = assembly.add("5678", part(0xC9, 3, 3, "world"), 20);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->octets, QByteArray("Hello, long world"));
    EXPECT_EQ(whole->partCount, 3);
    EXPECT_FALSE(whole->part);
    EXPECT_EQ(whole->timestamp, std::optional<quint32>(0x045A8F));
    EXPECT_EQ(whole->codingScheme, std::optional<int>(ReceivedText::Latin1Scheme));
    EXPECT_EQ(assembly.openSets(), 0);
    EXPECT_TRUE(assembly.takeDropped().isEmpty());
}

TEST(LongMessageAssemblyTest, EveryOrderOfThePartsGivesTheSameText)
{
    std::vector<int> order = {1, 2, 3, 4};
    do {
        LongMessageAssembly assembly;
        std::optional<Content> whole;
        for (std::size_t i = 0; i < order.size(); ++i) {
            const QByteArray text = QByteArray(1, char('A' + order[i] - 1));
            whole = assembly.add("7", part(9, 4, order[i], text), qint64(i));
            EXPECT_EQ(whole.has_value(), i + 1 == order.size());
        }
        ASSERT_TRUE(whole);
        EXPECT_EQ(whole->octets, QByteArray("ABCD"));
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(LongMessageAssemblyTest, TheCodingSchemeAndTimestampAreThoseOfPartOne)
{
    LongMessageAssembly assembly;
    Content second = part(1, 2, 2, QByteArray("\x26\x3A", 2));
    second.codingScheme = 1;
    Content first = part(1, 2, 1, QByteArray("\x00H", 2));
    first.codingScheme = ReceivedText::Ucs2Scheme;
    first.timestamp = 0x012345;
    EXPECT_FALSE(assembly.add("7", second, 0));
    const std::optional<Content> whole = assembly.add("7", first, 1);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->codingScheme, std::optional<int>(ReceivedText::Ucs2Scheme));
    EXPECT_EQ(whole->timestamp, std::optional<quint32>(0x012345));
    // A character split across the parts is decoded whole.
    EXPECT_EQ(ReceivedText::shown(*whole).right(7), QByteArray("H\\u263A"));
}

TEST(LongMessageAssemblyTest, DuplicatePartsAreIgnored)
{
    LongMessageAssembly assembly;
    EXPECT_FALSE(assembly.add("7", part(5, 2, 1, "first "), 0));
    EXPECT_FALSE(assembly.add("7", part(5, 2, 1, "again "), 1));
    const std::optional<Content> whole = assembly.add("7", part(5, 2, 2, "second"), 2);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->octets, QByteArray("first second"));
}

TEST(LongMessageAssemblyTest, SetsAreKeptApartByCallerAndReference)
{
    LongMessageAssembly assembly;
    EXPECT_FALSE(assembly.add("1111", part(5, 2, 1, "a1 "), 0));
    EXPECT_FALSE(assembly.add("2222", part(5, 2, 1, "b1 "), 0));
    EXPECT_FALSE(assembly.add("1111", part(6, 2, 1, "c1 "), 0));
    // The same number as a 16-bit reference is another set.
    EXPECT_FALSE(assembly.add("1111", part(5, 2, 1, "d1 ", true), 0));
    EXPECT_EQ(assembly.openSets(), 4);
    EXPECT_EQ(assembly.add("2222", part(5, 2, 2, "b2"), 1)->octets, QByteArray("b1 b2"));
    EXPECT_EQ(assembly.add("1111", part(5, 2, 2, "d2", true), 1)->octets, QByteArray("d1 d2"));
    EXPECT_EQ(assembly.add("1111", part(6, 2, 2, "c2"), 1)->octets, QByteArray("c1 c2"));
    EXPECT_EQ(assembly.add("1111", part(5, 2, 2, "a2"), 1)->octets, QByteArray("a1 a2"));
    EXPECT_EQ(assembly.openSets(), 0);
}

TEST(LongMessageAssemblyTest, AWholeMessagePassesStraightThrough)
{
    LongMessageAssembly assembly;
    Content whole;
    whole.octets = "short";
    const std::optional<Content> shown = assembly.add("7", whole, 0);
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->octets, QByteArray("short"));
    EXPECT_EQ(shown->partCount, 1);
    EXPECT_EQ(assembly.openSets(), 0);
}

TEST(LongMessageAssemblyTest, MissingPartsDropTheSetAfterTheWait)
{
    LongMessageAssembly::Limits limits;
    limits.maxWaitMs = 1000;
    LongMessageAssembly assembly(limits);
    EXPECT_FALSE(assembly.add("5678", part(1, 3, 1, "a"), 0));
    EXPECT_FALSE(assembly.add("5678", part(1, 3, 3, "c"), 500));
    // The wait counts from the last new part.
    assembly.dropExpired(1499);
    EXPECT_EQ(assembly.openSets(), 1);
    EXPECT_TRUE(assembly.takeDropped().isEmpty());
    assembly.dropExpired(1500);
    EXPECT_EQ(assembly.openSets(), 0);
    const QList<LongMessageAssembly::Dropped> dropped = assembly.takeDropped();
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped.first().caller, QByteArray("5678"));
    EXPECT_EQ(dropped.first().partsReceived, 2);
    EXPECT_EQ(dropped.first().partCount, 3);
    EXPECT_EQ(LongMessageAssembly::droppedLine(dropped.first()),
              QByteArray(": Long message from 5678 incomplete: 2 of 3 parts received."));
    EXPECT_TRUE(assembly.takeDropped().isEmpty());
    // The missing part, come late, starts a set of its own.
    EXPECT_FALSE(assembly.add("5678", part(1, 3, 2, "b"), 1600));
    EXPECT_EQ(assembly.openSets(), 1);
}

TEST(LongMessageAssemblyTest, AddingDropsExpiredSetsFirst)
{
    LongMessageAssembly::Limits limits;
    limits.maxWaitMs = 100;
    LongMessageAssembly assembly(limits);
    EXPECT_FALSE(assembly.add("1", part(1, 2, 1, "a"), 0));
    EXPECT_FALSE(assembly.add("2", part(1, 2, 1, "b"), 200));
    EXPECT_EQ(assembly.openSets(), 1);
    EXPECT_EQ(assembly.takeDropped().size(), 1);
    // A duplicate does not keep its set waiting.
    EXPECT_FALSE(assembly.add("2", part(1, 2, 1, "b"), 250));
    EXPECT_FALSE(assembly.add("3", part(1, 2, 1, "c"), 300));
    EXPECT_EQ(assembly.openSets(), 1);
}

TEST(LongMessageAssemblyTest, OpenSetsAreBoundedByDroppingTheOldest)
{
    LongMessageAssembly::Limits limits;
    limits.maxOpenSets = 3;
    LongMessageAssembly assembly(limits);
    for (int reference = 0; reference < 3; ++reference)
        EXPECT_FALSE(assembly.add("7", part(reference, 2, 1, "x"), reference));
    // Set 0 had its last part longest ago: it goes for the new one.
    EXPECT_FALSE(assembly.add("7", part(10, 2, 1, "y"), 10));
    EXPECT_EQ(assembly.openSets(), 3);
    ASSERT_EQ(assembly.takeDropped().size(), 1);
    EXPECT_TRUE(assembly.add("7", part(1, 2, 2, "z"), 11));
    // Set 0 is gone: its second part starts a set of its own.
    EXPECT_FALSE(assembly.add("7", part(0, 2, 2, "z"), 12));
    // A hostile flood never holds more than the limit.
    for (int reference = 100; reference < 1100; ++reference)
        assembly.add(QByteArray::number(reference), part(reference, 255, 1, "p"), 20);
    EXPECT_EQ(assembly.openSets(), 3);
}

TEST(LongMessageAssemblyTest, ASetBeyondItsSizeIsDropped)
{
    LongMessageAssembly::Limits limits;
    limits.maxSetOctets = 10;
    LongMessageAssembly assembly(limits);
    EXPECT_FALSE(assembly.add("7", part(1, 3, 1, "12345"), 0));
    EXPECT_FALSE(assembly.add("7", part(1, 3, 2, "12345"), 1));
    EXPECT_FALSE(assembly.add("7", part(1, 3, 3, "1"), 2));
    EXPECT_EQ(assembly.openSets(), 0);
    const QList<LongMessageAssembly::Dropped> dropped = assembly.takeDropped();
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(dropped.first().partsReceived, 2);
}

TEST(LongMessageAssemblyTest, APartCountThatChangesStartsTheSetAnew)
{
    LongMessageAssembly assembly;
    EXPECT_FALSE(assembly.add("7", part(1, 3, 1, "old"), 0));
    EXPECT_FALSE(assembly.add("7", part(1, 2, 2, "new2"), 1));
    EXPECT_EQ(assembly.takeDropped().size(), 1);
    const std::optional<Content> whole = assembly.add("7", part(1, 2, 1, "new1 "), 2);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->octets, QByteArray("new1 new2"));
    EXPECT_EQ(whole->partCount, 2);
}

} // namespace
