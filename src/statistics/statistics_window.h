#pragma once

#include "data/engine/query.h"
#include "window_kit/window_registry.h"

#include <QList>
#include <QWidget>

#include <memory>

class QFrame;
class QSplitter;
class QToolBar;
class QToolButton;

namespace kit {
class StatusPanels;
}
namespace dbui {
class DataSource;
class DbGrid;
class DbNavigator;
}

// "鞋底统计": the orders of the order window above, the sole statistics
// "xdtj.db" below, and the commands that turn the one into the other.
class TAForm6TJ : public QWidget {
    Q_OBJECT

public:
    explicit TAForm6TJ(kit::WindowRegistry& windows, QWidget* parent = nullptr);

    data::Query* Query1 = nullptr;  // the statistics
    dbui::DataSource* DataSource1 = nullptr;

    QToolBar* ToolBar1 = nullptr;  // upper toolbar
    dbui::DbNavigator* DBNavigator2 = nullptr;
    QToolButton* ToolButton2 = nullptr;   // "综合搜索"
    QToolButton* ToolButtonZL = nullptr;  // "调用鞋底"
    QToolButton* ToolButton3 = nullptr;   // "鞋底表"
    QToolButton* ToolButton4 = nullptr;   // "订单表"
    QToolButton* ToolButtonCX = nullptr;  // "撤销"
    QFrame* Panel1 = nullptr;             // holds the upper grid
    dbui::DbGrid* DBGrid1 = nullptr;      // the order window's orders
    QSplitter* Splitter1 = nullptr;
    QToolBar* ToolBar2 = nullptr;  // lower toolbar
    dbui::DbNavigator* DBNavigator1 = nullptr;
    QToolButton* ToolButton7 = nullptr;   // "鞋底统计"
    QToolButton* ToolButton12 = nullptr;  // "快速导出"
    QToolButton* ToolButton6 = nullptr;   // "导出打印"
    QToolButton* ToolButtonGYS = nullptr; // "按供应商导出"
    dbui::DbGrid* DBGrid2 = nullptr;      // the statistics
    kit::StatusPanels* sBar = nullptr;

    // The hints of both navigators, one per button from "first" to "refresh".
    static QStringList navigatorHints();
    // Height of the upper grid's panel when the window opens.
    static constexpr int UpperPanelHeight = 190;

    void ToolButton2Click();
    void ToolButtonZLClick();
    void ToolButton3Click();
    void ToolButton4Click();
    void ToolButton7Click();
    void ToolButtonCXClick();  // "撤销"
    void ClearStatisticsTable();
    void Query1BeforePost(data::Query& query);

    // Export commands of the lower toolbar (defined in statistics_export_commands.cpp).
    void ToolButton12Click();  // "快速导出"
    void ToolButton6Click();   // "导出打印"
    void ToolButtonGYSClick(); // "按供应商导出"

private:
    std::unique_ptr<data::CommandLock> lockAggregation();
    void buildUpperHalf(class QVBoxLayout* layout);
    void buildLowerHalf(QWidget* lower);
    void updateCommands();
    void barWhatThisDeskMayNotChange();

    kit::WindowRegistry& windows_;
    QList<QWidget*> commands_;  // disabled while a bulk loop runs
};
