#include "platform/busy_cursor.h"

#include <gtest/gtest.h>

#include <QApplication>

namespace {

bool busy()
{
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor && cursor->shape() == Qt::WaitCursor;
}

TEST(BusyCursor, ShownInsideTheScopeAndRestoredOnEveryWayOut)
{
    {
        platform::BusyCursor cursor;
        EXPECT_TRUE(busy());
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    try {
        platform::BusyCursor cursor;
        throw std::runtime_error("failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    {
        platform::BusyCursor cursor;
        cursor.restore();
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }  // restoring twice would pop someone else's cursor
    QApplication::setOverrideCursor(Qt::IBeamCursor);
    {
        platform::BusyCursor cursor;
        cursor.restore();
    }
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::IBeamCursor);
    QApplication::restoreOverrideCursor();
}

}  // namespace
