#include "statistics/statistics_window.h"

#include "catalogue/shoes_window.h"
#include "data/core/schema.h"
#include "data/engine/undo_scope.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/db_navigator.h"
#include "dbui/query_table_model.h"
#include "orders/orders_window.h"
#include "orders/search_window.h"
#include "platform/dialogs.h"
#include "statistics/aggregation.h"
#include "statistics/export_texts.h"
#include "statistics/sole_assignment.h"
#include "statistics/statistics_messages.h"
#include "statistics/statistics_posting.h"
#include "window_kit/desk_notices.h"
#include "window_kit/shared_messages.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"
#include "window_kit/undo_button.h"
#include "window_kit/window_status.h"
#include "window_kit/write_rights.h"

#include <QFrame>
#include <QHeaderView>
#include <QListWidget>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QStringList orderColumns() {
    return QStringList{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("批号"),
                       QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("双数")} +
           data::sizeFieldNames();
}

QStringList statisticsColumns() {
    return QStringList{QStringLiteral("供应商"), QStringLiteral("鞋底型号"), QStringLiteral("双数")} + data::sizeFieldNames();
}

// Sizes hold a few digits; the texts get more room.
void fitColumnWidths(dbui::DbGrid* grid) {
    const QStringList sizes = data::sizeFieldNames();
    const QStringList names = grid->tableModel()->columnFieldNames();
    for (int column = 0; column < names.size(); ++column)
        grid->horizontalHeader()->resizeSection(column, sizes.contains(names[column]) ? 40
                                                        : names[column] == QStringLiteral("双数") ? 56
                                                                                                  : 110);
}

// A grid is read by what it shows, since no caption stands over it.
dbui::DbGrid* makeGrid(QWidget* parent, const char* name, const QString& readAs, dbui::DataSource* source,
                       const QStringList& columns) {
    auto* grid = new dbui::DbGrid(parent);
    grid->setObjectName(QString::fromLatin1(name));
    grid->setAccessibleName(readAs);
    grid->setDataSource(source);
    grid->setColumns(columns);
    fitColumnWidths(grid);
    return grid;
}

dbui::DbNavigator* makeNavigator(QToolBar* bar, const char* name, const QString& readAs, dbui::DataSource* source,
                                 const QList<dbui::DbNavigator::Button>& buttons) {
    auto* navigator = new dbui::DbNavigator(bar);
    navigator->setObjectName(QString::fromLatin1(name));
    navigator->setAccessibleName(readAs);
    navigator->setDataSource(source);
    navigator->setVisibleButtons(buttons);
    navigator->setHints(TAForm6TJ::navigatorHints());
    navigator->setConfirmDelete(false);
    bar->addWidget(navigator);
    return navigator;
}

}  // namespace

QStringList TAForm6TJ::navigatorHints() {
    return {QStringLiteral("数据移到首行"), QStringLiteral("数据上移一行"), QStringLiteral("数据下移一行"),
            QStringLiteral("数据移到尾行"), QStringLiteral("插入一行数据"), QStringLiteral("删除一行数据"),
            QStringLiteral("编辑一行数据"), QStringLiteral("保存数据编辑"), QStringLiteral("取消数据编辑"),
            QStringLiteral("刷新数据")};
}

TAForm6TJ::TAForm6TJ(kit::WindowRegistry& windows, QWidget* parent) : QWidget(parent, Qt::Window), windows_(windows) {
    setObjectName(QStringLiteral("AForm6TJ"));
    setWindowTitle(QStringLiteral("鞋底统计"));
    resize(1000, 700);
    setWindowState(Qt::WindowMaximized);

    Query1 = new data::Query(windows_.engine, this);
    Query1->setObjectName(QStringLiteral("Query1"));
    Query1->setSql(statistics::statisticsStatement());
    Query1->setBeforePost([this](data::Query& query) { Query1BeforePost(query); });
    DataSource1 = new dbui::DataSource(Query1, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildUpperHalf(layout);
    sBar = new kit::StatusPanels({50, 50}, this);
    layout->addWidget(sBar);
    // The upper grid edits the order window's orders.
    QList<data::Query*> edited{Query1};
    if (windows_.ordersWindow)
        edited << windows_.ordersWindow->Query1;
    new kit::DeskNotices(*sBar, windows_.engine, edited);

    if (windows_.ordersWindow)
        connect(windows_.ordersWindow->Query1, &data::Query::busyChanged, this, &TAForm6TJ::updateCommands);
    connect(Query1, &data::Query::busyChanged, this, &TAForm6TJ::updateCommands);
    barWhatThisDeskMayNotChange();

    Query1->open();
}

void TAForm6TJ::buildUpperHalf(QVBoxLayout* layout) {
    dbui::DataSource* orders = windows_.ordersWindow ? windows_.ordersWindow->DataSource1 : nullptr;
    using Button = dbui::DbNavigator::Button;

    ToolBar1 = kit::makeToolBar(this, QStringLiteral("ToolBar1"));
    DBNavigator2 = makeNavigator(ToolBar1, "DBNavigator2", QStringLiteral("订单记录导航"), orders,
                                 {Button::First, Button::Prior, Button::Next, Button::Last, Button::Delete, Button::Post,
                                  Button::Cancel});
    kit::addSeparator(ToolBar1);
    auto add = [this](QToolBar* bar, const char* name, const QString& caption, int icon, void (TAForm6TJ::*handler)()) {
        return kit::addToolButton(bar, QString::fromLatin1(name), caption, icon, [this, handler] { (this->*handler)(); });
    };
    ToolButton2 = add(ToolBar1, "ToolButton2", QStringLiteral("综合搜索"), 21, &TAForm6TJ::ToolButton2Click);
    kit::addSeparator(ToolBar1);
    ToolButtonZL = add(ToolBar1, "ToolButtonZL", QStringLiteral("调用鞋底"), 6, &TAForm6TJ::ToolButtonZLClick);
    kit::addSeparator(ToolBar1);
    ToolButton3 = add(ToolBar1, "ToolButton3", QStringLiteral("鞋底表"), 10, &TAForm6TJ::ToolButton3Click);
    ToolButton4 = add(ToolBar1, "ToolButton4", QStringLiteral("订单表"), 17, &TAForm6TJ::ToolButton4Click);
    kit::addSeparator(ToolBar1);
    QList<data::Query*> walked{Query1};
    if (windows_.ordersWindow)
        walked << windows_.ordersWindow->Query1;
    ToolButtonCX = kit::addUndoButton(ToolBar1, windows_.engine.undoJournal(), data::statisticsWindowName(), walked,
                                      [this] { ToolButtonCXClick(); }, &windows_.engine.store());
    layout->addWidget(ToolBar1);

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Panel1 = new QFrame(Splitter1);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    auto* upper = new QVBoxLayout(Panel1);
    upper->setContentsMargins(0, 0, 0, 0);
    DBGrid1 = makeGrid(Panel1, "DBGrid1", QStringLiteral("订单表"), orders, orderColumns());
    upper->addWidget(DBGrid1);
    Splitter1->addWidget(Panel1);

    auto* lower = new QWidget(Splitter1);
    lower->setObjectName(QStringLiteral("Panel2"));
    buildLowerHalf(lower);
    Splitter1->addWidget(lower);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({UpperPanelHeight, 10000});
    layout->addWidget(Splitter1, 1);

    // Showing another window walks nothing and stays available.
    commands_ = {DBNavigator2, ToolButtonZL, DBGrid1, DBNavigator1, ToolButton7, ToolButton12, ToolButton6, ToolButtonGYS, DBGrid2};
}

void TAForm6TJ::buildLowerHalf(QWidget* lower) {
    using Button = dbui::DbNavigator::Button;
    auto* layout = new QVBoxLayout(lower);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar2 = kit::makeToolBar(lower, QStringLiteral("ToolBar2"));
    DBNavigator1 = makeNavigator(ToolBar2, "DBNavigator1", QStringLiteral("鞋底统计记录导航"), DataSource1, {Button::First, Button::Prior, Button::Next, Button::Last});
    kit::addSeparator(ToolBar2);
    auto add = [this](const char* name, const QString& caption, int icon, void (TAForm6TJ::*handler)()) {
        return kit::addToolButton(ToolBar2, QString::fromLatin1(name), caption, icon, [this, handler] { (this->*handler)(); });
    };
    ToolButton7 = add("ToolButton7", QStringLiteral("鞋底统计"), 3, &TAForm6TJ::ToolButton7Click);
    kit::addSeparator(ToolBar2);
    ToolButton12 = add("ToolButton12", QStringLiteral("快速导出"), 7, &TAForm6TJ::ToolButton12Click);
    kit::addSeparator(ToolBar2);
    ToolButton6 = add("ToolButton6", QStringLiteral("导出打印"), 2, &TAForm6TJ::ToolButton6Click);
    kit::addSeparator(ToolBar2);
    ToolButtonGYS = add("ToolButtonGYS", statistics::exportBySupplierCaption(), 1, &TAForm6TJ::ToolButtonGYSClick);
    layout->addWidget(ToolBar2);
    DBGrid2 = makeGrid(lower, "DBGrid2", QStringLiteral("鞋底统计表"), DataSource1, statisticsColumns());
    layout->addWidget(DBGrid2, 1);
}

// A desk whose role only reads the orders or the statistics keeps the
// moving, the searches and the exports; what would change them stays greyed
// out, saying why.
void TAForm6TJ::barWhatThisDeskMayNotChange() {
    using Button = dbui::DbNavigator::Button;
    data::Store& store = windows_.engine.store();
    const QString orders = data::ordersTable().fileName;
    if (kit::barUnlessWritable(store, {orders},
                               {DBNavigator2->button(Button::Delete), DBNavigator2->button(Button::Post),
                                DBNavigator2->button(Button::Cancel), ToolButtonZL}))
        DBGrid1->setReadOnly(true);
    if (kit::barUnlessWritable(store, {data::statisticsTable().fileName}, {}))
        DBGrid2->setReadOnly(true);
    kit::barUnlessWritable(store, {orders, data::statisticsTable().fileName}, {ToolButton7});
}

// While a bulk loop walks the orders or the statistics, nothing else of this
// window may move them or start another loop.
void TAForm6TJ::updateCommands() {
    const bool ordersBusy = windows_.ordersWindow && windows_.ordersWindow->Query1->isBusy();
    const bool idle = !ordersBusy && !Query1->isBusy();
    for (QWidget* w : commands_)
        w->setEnabled(idle);
}

void TAForm6TJ::ToolButton2Click() { kit::WindowRegistry::show(windows_.searchWindow); }
void TAForm6TJ::ToolButton3Click() { kit::WindowRegistry::show(windows_.shoesWindow); }
void TAForm6TJ::ToolButton4Click() { kit::WindowRegistry::show(windows_.ordersWindow); }

void TAForm6TJ::ToolButtonZLClick() {
    TAForm2shoes* shoes = windows_.shoesWindow;
    if (!shoes || !windows_.ordersWindow)
        return;
    {
        kit::WindowStatus status(*sBar);
        statistics::assignSoles(*windows_.ordersWindow->Query1, *shoes->Query1,
                                [shoes](const QString& line) { shoes->addUnregisteredLine(line); }, status);
    }
    if (shoes->LISTNO->count() > 0)
        kit::WindowRegistry::show(shoes);
}

// The statistics are rebuilt at one desk at a time: another desk running
// them is told about and nothing is changed.
std::unique_ptr<data::CommandLock> TAForm6TJ::lockAggregation() {
    const QString command = statistics::aggregationCommand();
    try {
        return windows_.engine.lockCommand(command);
    } catch (const data::EngineError& error) {
        if (error.kind() != data::ErrorKind::ServerBusy)
            throw;
        platform::dialogs().information(this, kit::commandBusyText(error.subject(), command), kit::noticeCaption());
        return nullptr;
    }
}

void TAForm6TJ::ToolButton7Click() {
    if (!windows_.ordersWindow)
        return;
    // Asked before the lock is taken: a clerk who leaves the question open
    // keeps no other desk from the statistics.
    if (!platform::dialogs().question(this, statistics::scanQuestion(), kit::noticeCaption()))
        return;
    const std::unique_ptr<data::CommandLock> running = lockAggregation();
    if (!running)
        return;
    const data::UndoScope undo(windows_.engine, statistics::aggregationCommand(), data::statisticsWindowName(),
                               statistics::aggregationUndoParts(*windows_.ordersWindow->Query1));
    ToolButtonZLClick();
    if (statistics::statisticsTableHoldsRows(*Query1))
        ClearStatisticsTable();
    kit::WindowStatus status(*sBar);
    statistics::addUpOrders(*windows_.ordersWindow->Query1, *Query1, status);
}

void TAForm6TJ::ToolButtonCXClick() {
    // Records being edited are stored first, not dropped by the reopening.
    if (windows_.ordersWindow)
        windows_.ordersWindow->Query1->checkBrowseMode();
    Query1->checkBrowseMode();
    bool undone = false;
    {
        kit::WindowStatus status(*sBar);
        undone = kit::undoLastCommand(this, windows_.engine.undoJournal(), data::statisticsWindowName(), status);
    }
    if (!undone)
        return;
    if (windows_.ordersWindow)
        windows_.ordersWindow->Query1->open();
    Query1->setSql(statistics::statisticsStatement());
    Query1->open();
    sBar->setPanelText(kit::CountPanel, QString::number(Query1->recordCount()));
}

void TAForm6TJ::ClearStatisticsTable() {
    kit::WindowStatus status(*sBar);
    statistics::clearStatisticsTable(*Query1, status);
}

void TAForm6TJ::Query1BeforePost(data::Query& query) { statistics::applyStatisticsPostingRule(query); }
