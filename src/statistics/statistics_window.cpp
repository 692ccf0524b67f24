#include "statistics/statistics_window.h"

#include "app/status_panels.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "orders/orders_window.h"

#include <QSplitter>
#include <QVBoxLayout>

TAForm6TJ::TAForm6TJ(app::WindowRegistry& windows, QWidget* parent) : QWidget(parent, Qt::Window), windows_(windows) {
    setObjectName(QStringLiteral("AForm6TJ"));
    setWindowTitle(QStringLiteral("鞋底统计"));
    resize(900, 640);

    Query1 = new data::Query(windows_.engine, this);
    Query1->setObjectName(QStringLiteral("Query1"));
    Query1->setSql(QStringLiteral("select * from xdtj.db"));
    DataSource1 = new dbui::DataSource(Query1, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* split = new QSplitter(Qt::Vertical, this);
    DBGrid2 = new dbui::DbGrid(split);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("DBGrid2"));
    if (windows_.ordersWindow) {
        DBGrid2->setDataSource(windows_.ordersWindow->DataSource1);
        // The orders cannot be moved through while a long loop walks them.
        connect(windows_.ordersWindow->Query1, &data::Query::busyChanged, DBGrid2,
                [this](bool busy) { DBGrid2->setEnabled(!busy); });
    }
    DBGrid1 = new dbui::DbGrid(split);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSource1);
    layout->addWidget(split, 1);
    sBar = new app::StatusPanels({50, 50}, this);
    layout->addWidget(sBar);

    Query1->open();
}
