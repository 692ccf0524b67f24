#include "window_kit/progress.h"
#include "qt_printing.h"

#include <gtest/gtest.h>
#include <climits>

namespace {

TEST(ProgressText, NumbersAsTheClerkReadsThem) {
    struct Case {
        int rows, notDone, done;
        const char16_t* expected;
    };
    const Case cases[] = {
        {5, 3, 2, u"主表共有记录5条:未完成:3@已完成:2"},
        {0, 0, 0, u"主表共有记录0条:未完成:0@已完成:0"},
        {100000, 0, 100000, u"主表共有记录100000条:未完成:0@已完成:100000"},
        {10, -1, 11, u"主表共有记录10条:未完成:-1@已完成:11"},
        {INT_MAX, INT_MIN, 1000000009, u"主表共有记录2147483647条:未完成:-2147483648@已完成:1000000009"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(kit::progressText(kit::mainTablePrefix(), c.rows, c.notDone, c.done), QString::fromUtf16(c.expected));
    EXPECT_EQ(kit::progressText(kit::thisTablePrefix(), 7, 3), QStringLiteral("此表共有记录7条:未完成:4@已完成:3"));
}

}  // namespace
