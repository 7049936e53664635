#include "serial/PendingStack.h"

#include <gtest/gtest.h>

namespace {

// Counts its live instances, so the test sees which records were released.
struct Record
{
    explicit Record(int v) : value(v) { ++alive; }
    ~Record() { --alive; }
    int value;
    static inline int alive = 0;
};

TEST(PendingStack, PopsTheNewestFirst)
{
    PendingStack<Record> stack;
    EXPECT_TRUE(stack.isEmpty());
    stack.push(std::make_unique<Record>(1));
    stack.push(std::make_unique<Record>(2));
    stack.push(std::make_unique<Record>(3));
    EXPECT_FALSE(stack.isEmpty());
    EXPECT_EQ(stack.top().value, 3);
    EXPECT_EQ(stack.pop()->value, 3);
    EXPECT_EQ(stack.pop()->value, 2);
    stack.push(std::make_unique<Record>(4));
    EXPECT_EQ(stack.pop()->value, 4);
    EXPECT_EQ(stack.pop()->value, 1);
    EXPECT_TRUE(stack.isEmpty());
}

TEST(PendingStack, PoppingAnEmptyStackFailsWithStackIsEmpty)
{
    PendingStack<Record> stack;
    try {
        stack.pop();
        FAIL() << "pop of an empty stack succeeded";
    } catch (const std::underflow_error &error) {
        EXPECT_STREQ(error.what(), "Stack is empty");
    }
    stack.push(std::make_unique<Record>(1));
    stack.pop();
    EXPECT_THROW(stack.pop(), std::underflow_error);
    EXPECT_THROW(stack.top(), std::underflow_error);
}

TEST(PendingStack, ReleasesTheRecordsLeftBehind)
{
    Record::alive = 0;
    {
        PendingStack<Record> stack;
        stack.push(std::make_unique<Record>(1));
        stack.push(std::make_unique<Record>(2));
        EXPECT_EQ(Record::alive, 2);
        stack.clear();
        EXPECT_TRUE(stack.isEmpty());
        EXPECT_EQ(Record::alive, 0);
        stack.push(std::make_unique<Record>(3));
    }
    EXPECT_EQ(Record::alive, 0);
}

} // namespace
