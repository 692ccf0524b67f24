#include "orders/orders_window.h"

#include "data/core/schema.h"
#include "data/engine/undo_scope.h"
#include "dbui/data_source.h"
#include "dbui/db_check_box.h"
#include "dbui/db_grid.h"
#include "dbui/db_navigator.h"
#include "dbui/grid_keyboard_rule.h"
#include "dbui/query_table_model.h"
#include "orders/bulk_orders.h"
#include "orders/order_entry_window.h"
#include "orders/order_import.h"
#include "orders/order_messages.h"
#include "orders/order_posting.h"
#include "orders/search_window.h"
#include "orders/size_runs.h"
#include "platform/dialogs.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/statistics_window.h"
#include "window_kit/desk_notices.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"
#include "window_kit/undo_button.h"
#include "window_kit/window_status.h"
#include "window_kit/write_rights.h"

#include <QFileInfo>
#include <QFrame>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QStringList upperGridColumns() {
    return QStringList{QStringLiteral("批号"), QStringLiteral("件数"), QStringLiteral("双数")} + data::sizeFieldNames();
}

QStringList lowerGridColumns() {
    return QStringList{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("件数"),
                       QStringLiteral("双数")} +
           data::sizeFieldNames() + QStringList{QStringLiteral("备注")};
}

constexpr int ModelColumn = 1;

// Size columns hold a few digits; the texts get more room.
void fitColumnWidths(dbui::DbGrid* grid) {
    QHeaderView* header = grid->horizontalHeader();
    const QStringList sizes = data::sizeFieldNames();
    dbui::QueryTableModel* model = grid->tableModel();
    for (int column = 0; column < model->columnCount(); ++column) {
        const QString title = model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        const bool isSize = sizes.contains(title);
        const bool isCount = title == QStringLiteral("件数") || title == QStringLiteral("双数");
        header->resizeSection(column, isSize ? 40 : isCount ? 56 : title == QStringLiteral("备注") ? 160 : 96);
    }
}

}  // namespace

QString TaForm3DD::gridHint() { return QStringLiteral("表格中按空格向右列移动一行，回车下移一行"); }

TaForm3DD::TaForm3DD(kit::WindowRegistry& windows, QWidget* parent) : QWidget(parent, Qt::Window), windows_(windows) {
    setObjectName(QStringLiteral("aForm3DD"));
    setWindowTitle(QStringLiteral("订单表"));
    resize(1000, 640);

    Query1 = new data::Query(windows_.engine, this);
    Query1->setObjectName(QStringLiteral("Query1"));
    Query1->setBeforePost([this](data::Query& query) { Query1BeforePost(query); });
    Query1->setPostErrorHook([this](data::Query& query, const data::EngineError& error) { return Query1PostError(query, error); });
    DataSource1 = new dbui::DataSource(Query1, this);
    DataSource1->setObjectName(QStringLiteral("DataSource1"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar(layout);
    buildGrids(layout);
    sBar = new kit::StatusPanels({50, 50}, this);
    sBar->setPanelText(2, gridHint());
    layout->addWidget(sBar);
    new kit::DeskNotices(*sBar, windows_.engine, {Query1});

    connect(Query1, &data::Query::busyChanged, this, &TaForm3DD::setBulkLoopRunning);
    barWhatThisDeskMayNotChange();

    Query1->setSql(QStringLiteral("select * from dd.db"));
    Query1->open();
}

void TaForm3DD::buildToolBar(QVBoxLayout* layout) {
    QToolBar* bar = kit::makeToolBar(this);
    DBNavigator1 = new dbui::DbNavigator(bar);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(DataSource1);
    using Button = dbui::DbNavigator::Button;
    DBNavigator1->setVisibleButtons(
        {Button::First, Button::Prior, Button::Next, Button::Last, Button::Delete, Button::Edit, Button::Post, Button::Cancel});
    DBNavigator1->setConfirmDelete(true);
    bar->addWidget(DBNavigator1);
    kit::addSeparator(bar);

    auto add = [&](const char* name, const QString& caption, int icon, void (TaForm3DD::*handler)()) {
        return kit::addToolButton(bar, QString::fromLatin1(name), caption, icon, [this, handler] { (this->*handler)(); });
    };
    QToolButton* entry = add("ToolButton1", QStringLiteral("订单输入"), 5, &TaForm3DD::ToolButton1Click);
    QToolButton* import = add("ToolButton12", QStringLiteral("订单导入"), 6, &TaForm3DD::ToolButton12Click);
    kit::addSeparator(bar);
    add("ToolButton2", QStringLiteral("综合搜索"), 21, &TaForm3DD::ToolButton2Click);
    QToolButton* multiply = add("ToolButton9", QStringLiteral("件数相乘"), 9, &TaForm3DD::ToolButton9Click);
    PopupMenu1 = new QMenu(multiply);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N4 = PopupMenu1->addAction(QStringLiteral("除以件数"), this, [this] { N4Click(); });
    N4->setObjectName(QStringLiteral("N4"));
    PopupMenu1->addSeparator();
    N1 = PopupMenu1->addAction(QStringLiteral("配码前移一个码段"), this, [this] { N1Click(); });
    N1->setObjectName(QStringLiteral("N1"));
    N2 = PopupMenu1->addAction(QStringLiteral("配码后移一个码段"), this, [this] { N2Click(); });
    N2->setObjectName(QStringLiteral("N2"));
    multiply->setMenu(PopupMenu1);
    multiply->setPopupMode(QToolButton::MenuButtonPopup);
    kit::addSeparator(bar);
    add("ToolButton5", QStringLiteral("鞋底统计"), 3, &TaForm3DD::ToolButton5Click);
    QToolButton* mark = add("ToolButton11", QStringLiteral("标为统计"), 11, &TaForm3DD::ToolButton11Click);
    kit::addSeparator(bar);

    auto* checkPanel = new QFrame(bar);
    checkPanel->setObjectName(QStringLiteral("Panel1"));
    checkPanel->setFrameShape(QFrame::StyledPanel);
    auto* checkLayout = new QHBoxLayout(checkPanel);
    checkLayout->setContentsMargins(6, 2, 6, 2);
    DBCheckBox1 = new dbui::DbCheckBox(QStringLiteral("已统计"), checkPanel);
    DBCheckBox1->setObjectName(QStringLiteral("DBCheckBox1"));
    DBCheckBox1->setDataSource(DataSource1);
    DBCheckBox1->setFieldName(QStringLiteral("已统计"));
    checkLayout->addWidget(DBCheckBox1);
    bar->addWidget(checkPanel);
    kit::addSeparator(bar);
    QToolButton* remove = add("ToolButton8", QStringLiteral("删除订单"), 4, &TaForm3DD::ToolButton8Click);
    kit::addSeparator(bar);
    kit::addUndoButton(bar, windows_.engine.undoJournal(), data::ordersWindowName(), {Query1}, [this] { ToolButtonCXClick(); },
                       &windows_.engine.store());
    layout->addWidget(bar);

    // The check box enables itself whenever the record changes, so the panel
    // holding it is what a bulk loop switches off.
    walkingCommands_ = {DBNavigator1, entry, import, multiply, mark, checkPanel, remove};
}

// A desk whose role only reads the orders keeps the moving and the searches;
// what would change an order stays greyed out, saying why.
void TaForm3DD::barWhatThisDeskMayNotChange() {
    using Button = dbui::DbNavigator::Button;
    QList<QWidget*> controls{DBNavigator1->button(Button::Delete), DBNavigator1->button(Button::Edit),
                             DBNavigator1->button(Button::Post), DBNavigator1->button(Button::Cancel)};
    for (const char* name : {"ToolButton1", "ToolButton12", "ToolButton9", "ToolButton11", "Panel1", "ToolButton8"})
        controls << findChild<QWidget*>(QString::fromLatin1(name));
    if (!kit::barUnlessWritable(windows_.engine.store(), {data::ordersTable().fileName}, controls))
        return;
    DBGrid1->setReadOnly(true);
    DBGrid2->setReadOnly(true);
}

void TaForm3DD::buildGrids(QVBoxLayout* layout) {
    DBGrid2 = new dbui::DbGrid(this);
    DBGrid2->setObjectName(QStringLiteral("DBGrid2"));
    DBGrid2->setAccessibleName(QStringLiteral("订单配码"));
    DBGrid2->setDataSource(DataSource1);
    DBGrid2->setColumns(upperGridColumns());
    DBGrid2->setFixedHeight(96);
    layout->addWidget(DBGrid2);

    DBGrid1 = new dbui::DbGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(QStringLiteral("订单表"));
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setColumns(lowerGridColumns());
    DBGrid1->setPickList(ModelColumn, QStringList());
    DBGrid1->setCellBackground([](int, int recNo, int) -> QColor {
        return isStripedRecord(recNo) ? QColor(0xC0, 0xC0, 0xC0) : QColor();
    });
    layout->addWidget(DBGrid1, 1);

    for (dbui::DbGrid* grid : {DBGrid1, DBGrid2}) {
        new dbui::GridKeyboardRule(grid);
        fitColumnWidths(grid);
    }
}

void TaForm3DD::setModelChoices(const QStringList& models) { DBGrid1->setPickList(ModelColumn, models); }

QStringList TaForm3DD::modelChoices() const { return DBGrid1->gridDelegate()->pickList(ModelColumn); }

void TaForm3DD::setBulkLoopRunning(bool running) {
    for (QWidget* w : walkingCommands_)
        w->setEnabled(!running);
    DBGrid1->setEnabled(!running);
    DBGrid2->setEnabled(!running);
}

void TaForm3DD::Query1BeforePost(data::Query& query) { orders::applyOrderPostingRule(query); }

data::Query::PostErrorAction TaForm3DD::Query1PostError(data::Query&, const data::EngineError& error) {
    if (!error.isKeyViolation())
        return data::Query::PostErrorAction::Fail;
    platform::dialogs().information(this, orders::duplicateBatchMessage(), QString(), platform::MessageIcon::Information);
    // The query drops the pending record and ends the post silently.
    return data::Query::PostErrorAction::Abort;
}

void TaForm3DD::ToolButton1Click() { kit::WindowRegistry::show(windows_.orderEntryWindow); }
void TaForm3DD::ToolButton2Click() { kit::WindowRegistry::show(windows_.searchWindow); }
void TaForm3DD::ToolButton5Click() { kit::WindowRegistry::show(windows_.statisticsWindow); }

void TaForm3DD::showSkippedRows(int skipped) {
    if (skipped > 0)
        platform::dialogs().information(this, orders::zeroCasesMessage(skipped), kit::noticeCaption(),
                                        platform::MessageIcon::Information);
}

void TaForm3DD::ToolButton9Click() {
    int skipped = 0;
    {
        kit::WindowStatus status(*sBar);
        skipped = orders::multiplyByCases(*Query1, status);
    }
    showSkippedRows(skipped);
}

void TaForm3DD::N4Click() {
    int skipped = 0;
    {
        kit::WindowStatus status(*sBar);
        skipped = orders::divideByCases(*Query1, status);
    }
    showSkippedRows(skipped);
}

void TaForm3DD::N1Click() { orders::shiftSizeRunUp(*Query1); }
void TaForm3DD::N2Click() { orders::shiftSizeRunDown(*Query1); }

void TaForm3DD::ToolButton11Click() {
    kit::WindowStatus status(*sBar);
    orders::markCounted(*Query1, status);
}

void TaForm3DD::ToolButton8Click() {
    if (!platform::dialogs().question(this, kit::deleteQuestion(), kit::noticeCaption()))
        return;
    kit::WindowStatus status(*sBar);
    orders::deleteShownOrders(*Query1, status);
}

void TaForm3DD::ToolButtonCXClick() {
    // A record being edited is stored first, so that reopening the query
    // does not drop it and the undo sees it.
    Query1->checkBrowseMode();
    bool undone = false;
    {
        kit::WindowStatus status(*sBar);
        undone = kit::undoLastCommand(this, windows_.engine.undoJournal(), data::ordersWindowName(), status);
    }
    if (undone)
        Query1->open();
}

QStringList TaForm3DD::importFilters() {
    return {QStringLiteral("EXCEL|*.xls"), QStringLiteral("EXCEL 2007|*.xlsx"), QStringLiteral("OpenDocument|*.ods")};
}

void TaForm3DD::ToolButton12Click() {
    // The import folder opens on every click, whatever the user does next.
    const QString folder = platform::programFolder() + orders::importFolderName();
    if (platform::ensureFolder(folder))
        platform::fileManager().openFolder(folder);

    const QString file = platform::dialogs().openFile(this, QStringLiteral("订单导入"), importFilters(), QString(),
                                                      lastImportFile_.isEmpty() ? orders::importFolderName() : lastImportFile_);
    if (file.isEmpty())
        return;
    lastImportFile_ = file;
    if (!QFileInfo(file).isFile()) {
        platform::dialogs().error(this, orders::fileMissingMessage(file), kit::systemNoticeCaption(),
                                  platform::MessageIcon::Error);
        return;
    }
    sBar->setPanelText(kit::ProgressPanel, orders::fileFoundText(file));

    auto warn = [](const QString& text) {
        platform::dialogs().warning(nullptr, text, kit::noticeCaption(), platform::MessageIcon::Warning);
    };
    // A table of the program is no workbook; reading it to find its kind
    // would give up the locks on it.
    if (windows_.engine.holdsFile(file)) {
        warn(kit::workbookFailedMessage());
        return;
    }
    spreadsheet::Application* office = nullptr;
    try {
        office = &windows_.spreadsheet();
        office->connect();
    } catch (const std::exception&) {
        warn(kit::connectFailedMessage());
        return;
    }
    try {
        office->setVisible(true);
    } catch (const std::exception&) {
        // Showing the office is a courtesy; the import does not depend on it.
    }
    std::shared_ptr<spreadsheet::Workbook> workbook;
    try {
        workbook = office->openWorkbook(file);
    } catch (const std::exception&) {
        warn(kit::workbookFailedMessage());
        return;
    }
    std::shared_ptr<spreadsheet::Worksheet> sheet;
    try {
        sheet = workbook->activeSheet();
    } catch (const std::exception&) {
        warn(kit::worksheetFailedMessage());
        return;
    }
    ImportWorksheet(*sheet, DBGrid1);
}

void TaForm3DD::ImportWorksheet(spreadsheet::Worksheet& sheet, dbui::DbGrid* grid) {
    dbui::QueryTableModel* model = grid->tableModel();
    data::Query* query = grid->dataSource()->query();
    QStringList columns;
    for (int column = 0; column < model->columnCount(); ++column)
        columns << query->fieldName(model->fieldIndex(column));
    kit::WindowStatus status(*sBar);
    orders::importWorksheet(sheet, *query, columns, status, [] {
        platform::dialogs().warning(nullptr, orders::importFailedMessage(), kit::noticeCaption(),
                                    platform::MessageIcon::Warning);
    });
}
