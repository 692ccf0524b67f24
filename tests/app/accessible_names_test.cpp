// Assistive tools read every control as what a person sees on it.
#include "app/main_window.h"
#include "catalogue/shoes_window.h"
#include "orders/order_entry_window.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "program_windows_fixture.h"
#include "statistics/statistics_window.h"
#include "window_kit/status_panels.h"

#include <QAccessible>
#include <QApplication>
#include <gtest/gtest.h>

namespace {

QString readName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QStringLiteral("<no interface>");
}

TEST(StatusPanelsAccessible, APanelIsReadAsItsCurrentText)
{
    kit::StatusPanels bar({50, 50});
    const struct {
        int panel;
        QString text;
    } cases[] = {
        {2, QStringLiteral("表格中按空格向右列移动一行，回车下移一行")},
        {2, QStringLiteral("主表共有记录5条:未完成:3@已完成:2")},
        {1, QStringLiteral("共有记录:12条")},
        {2, QString()},
    };
    for (const auto& c : cases) {
        bar.setPanelText(c.panel, c.text);
        EXPECT_EQ(readName(bar.panel(c.panel)), c.text) << c.panel;
        EXPECT_EQ(bar.panel(c.panel)->objectName(), QStringLiteral("sBarPanel%1").arg(c.panel + 1));
    }
    EXPECT_EQ(readName(bar.panel(0)), QString());
}

using ProgramWindowNames = ProgramWindowsTest;

TEST_F(ProgramWindowNames, NoControlIsReadByItsObjectName) {
    auto& r = windows->registry();
    const struct {
        const char* window;
        QWidget* widget;
    } cases[] = {
        {"main", r.mainWindow},
        {"orders", r.ordersWindow},
        {"order entry", r.orderEntryWindow},
        {"search", r.searchWindow},
        {"sole models", r.shoesWindow},
        {"statistics", r.statisticsWindow},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.widget) << c.window;
        int named = 0;
        for (QWidget* w : c.widget->findChildren<QWidget*>()) {
            if (w->objectName().isEmpty() || w->accessibleName().isEmpty())
                continue;
            ++named;
            EXPECT_NE(w->accessibleName(), w->objectName()) << c.window << ": " << w->objectName().toStdString();
            for (const char* english : {"grid", "memo", "record navigator", "check box", "choices"})
                EXPECT_NE(w->accessibleName(), QLatin1String(english)) << c.window << ": " << w->objectName().toStdString();
        }
        EXPECT_GT(named, 0) << c.window;
    }
}

TEST_F(ProgramWindowNames, MainWindowControlsReadAsTheirCaptionsOrPictureLabels) {
    TaForm1* main = windows->registry().mainWindow;
    const struct {
        const char* control;
        const char* name;
    } cases[] = {
        {"ToolButton1", "鞋底型号表"}, {"ToolButton2", "订单数量表"}, {"ToolButton4", "鞋底统计"},
        {"ToolButton10", "帮助"},     {"SpeedButton1", "鞋底型号表"}, {"SpeedButton2", "订单数量表"},
        {"SpeedButton3", "鞋底统计"}, {"RestoreBackup", "恢复备份"},
    };
    for (const auto& c : cases) {
        auto* w = main->findChild<QWidget*>(QString::fromLatin1(c.control));
        ASSERT_TRUE(w) << c.control;
        EXPECT_EQ(readName(w), QString::fromUtf8(c.name)) << c.control;
    }
}

}  // namespace
