#include "catalogue/shoes_window.h"

#include "app/status_panels.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"

#include <QListWidget>
#include <QVBoxLayout>

TAForm2shoes::TAForm2shoes(app::WindowRegistry& windows, QWidget* parent)
    : QWidget(parent, Qt::Window), windows_(windows) {
    setObjectName(QStringLiteral("AForm2shoes"));
    setWindowTitle(QStringLiteral("鞋底型号表"));
    resize(800, 560);

    Query1 = new data::Query(windows_.engine, this);
    Query1->setObjectName(QStringLiteral("Query1"));
    Query1->setSql(QStringLiteral("select * from shoes.db"));
    DataSource1 = new dbui::DataSource(Query1, this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    DBGrid1 = new dbui::DbGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("DBGrid1"));
    DBGrid1->setDataSource(DataSource1);
    layout->addWidget(DBGrid1, 1);
    LISTNO = new QListWidget(this);
    LISTNO->setObjectName(QStringLiteral("LISTNO"));
    layout->addWidget(LISTNO);
    sBar = new app::StatusPanels({50, 50}, this);
    layout->addWidget(sBar);

    Query1->open();
}

void TAForm2shoes::addUnregisteredLine(const QString& line) { LISTNO->addItem(line); }
