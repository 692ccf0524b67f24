#pragma once

#include "app/window_registry.h"
#include "data/query.h"

#include <QWidget>

namespace app {
class StatusPanels;
}
namespace dbui {
class DataSource;
class DbGrid;
}

// "鞋底统计": the orders above, the sole statistics "xdtj.db" below.
class TAForm6TJ : public QWidget {
    Q_OBJECT

public:
    explicit TAForm6TJ(app::WindowRegistry& windows, QWidget* parent = nullptr);

    data::Query* Query1 = nullptr;
    dbui::DataSource* DataSource1 = nullptr;
    dbui::DbGrid* DBGrid2 = nullptr;  // the order window's orders
    dbui::DbGrid* DBGrid1 = nullptr;  // the statistics
    app::StatusPanels* sBar = nullptr;

    // Export commands of the lower toolbar (defined in statistics_export_commands.cpp).
    void ToolButton12Click();  // "快速导出"
    void ToolButton6Click();   // "导出打印"

private:
    app::WindowRegistry& windows_;
};
