#include "catalogue/shoes_window.h"

#include "catalogue/catalogue_delete.h"
#include "catalogue/catalogue_messages.h"
#include "catalogue/catalogue_posting.h"
#include "catalogue/catalogue_search.h"
#include "catalogue/material_window.h"
#include "catalogue/press_bar.h"
#include "catalogue/unregistered_models.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/db_memo.h"
#include "dbui/db_navigator.h"
#include "dbui/grid_keyboard_rule.h"
#include "orders/orders_window.h"
#include "platform/dialogs.h"
#include "statistics/statistics_window.h"
#include "data/engine/undo_scope.h"
#include "window_kit/desk_notices.h"
#include "window_kit/shared_messages.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"
#include "window_kit/undo_button.h"
#include "window_kit/window_look.h"
#include "window_kit/window_status.h"
#include "window_kit/write_rights.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int ButtonWidth = 55;
constexpr int ButtonHeight = 51;
constexpr int RightPanelWidth = 138;
constexpr int BarHeight = 19;

const QStringList& gridColumns() {
    static const QStringList columns{QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("鞋底型号"),
                                     QStringLiteral("供应商")};
    return columns;
}

// The list box seen by the scan.
class ListBoxEntries : public catalogue::EntryList {
public:
    explicit ListBoxEntries(QListWidget& list) : list_(list) {}
    void clear() override { list_.clear(); }
    int count() const override { return list_.count(); }
    QString entry(int index) const override { return list_.item(index)->text(); }
    void add(const QString& entry) override { list_.addItem(entry); }

private:
    QListWidget& list_;
};

Qt::WindowFlags resizableWindowFlags() {
    return Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

}  // namespace

TAForm2shoes::TAForm2shoes(kit::WindowRegistry& windows, QWidget* parent)
    : QWidget(parent, resizableWindowFlags()), windows_(windows) {
    setObjectName(QStringLiteral("AForm2shoes"));
    setWindowTitle(QStringLiteral("鞋底型号表"));
    resize(802, 566);

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

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    DBGrid1 = new dbui::DbGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setAccessibleName(windowTitle());
    DBGrid1->setDataSource(DataSource1);
    DBGrid1->setColumns(gridColumns());
    new dbui::GridKeyboardRule(DBGrid1);
    const int widths[] = {130, 100, 130, 200};
    for (int column = 0; column < int(std::size(widths)); ++column)
        DBGrid1->horizontalHeader()->resizeSection(column, widths[column]);
    body->addWidget(DBGrid1, 1);
    buildRightPanel();
    body->addWidget(Panel1);
    layout->addLayout(body, 1);

    sBar = new kit::StatusPanels({50, 50}, this);
    layout->addWidget(sBar);
    new kit::DeskNotices(*sBar, windows_.engine, {Query1});

    walkingCommands_ = {DBNavigator1, DBGrid1, DBMemo1, PLWDJ, LISTNO};
    for (const char* name : {"ToolButton2", "ToolButton8", "ToolButton1", "ToolButton3"})
        walkingCommands_ << findChild<QToolButton*>(QString::fromLatin1(name));
    connect(Query1, &data::Query::busyChanged, this, &TAForm2shoes::setLookupsRunning);
    barWhatThisDeskMayNotChange();

    Query1->setSql(catalogue::allModelsStatement());
    Query1->open();
}

// A desk whose role only reads the catalogue keeps the moving, the searches
// and the scan; what would change a sole model stays greyed out, saying why.
void TAForm2shoes::barWhatThisDeskMayNotChange() {
    using Button = dbui::DbNavigator::Button;
    QList<QWidget*> controls{DBNavigator1->button(Button::Insert), DBNavigator1->button(Button::Delete),
                             DBNavigator1->button(Button::Edit),   DBNavigator1->button(Button::Post),
                             DBNavigator1->button(Button::Cancel), DBMemo1,
                             LISTNO,                               findChild<QWidget*>(QStringLiteral("ToolButton2"))};
    if (kit::barUnlessWritable(windows_.engine.store(), {data::shoesTable().fileName}, controls))
        DBGrid1->setReadOnly(true);
}

void TAForm2shoes::buildToolBar(QVBoxLayout* layout) {
    QToolBar* bar = kit::makeToolBar(this);
    DBNavigator1 = new dbui::DbNavigator(bar);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setDataSource(DataSource1);
    using Button = dbui::DbNavigator::Button;
    DBNavigator1->setVisibleButtons({Button::First, Button::Prior, Button::Next, Button::Last, Button::Insert, Button::Delete,
                                     Button::Edit, Button::Post, Button::Cancel});
    DBNavigator1->setConfirmDelete(true);
    bar->addWidget(DBNavigator1);
    kit::addSeparator(bar);

    auto add = [&](const char* name, const QString& caption, int icon, void (TAForm2shoes::*handler)()) {
        QToolButton* b = kit::addToolButton(bar, QString::fromLatin1(name), caption, icon, [this, handler] { (this->*handler)(); });
        b->setFixedSize(ButtonWidth, ButtonHeight);
    };
    add("ToolButton2", QStringLiteral("删除"), 4, &TAForm2shoes::ToolButton2Click);
    kit::addSeparator(bar);
    add("ToolButton6", QStringLiteral("统计"), 3, &TAForm2shoes::ToolButton6Click);
    kit::addSeparator(bar);

    auto* searchPanel = new QFrame(bar);
    searchPanel->setObjectName(QStringLiteral("Panel2"));
    searchPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    searchPanel->setLineWidth(2);
    searchPanel->setFixedSize(100, ButtonHeight);
    auto* searchLayout = new QHBoxLayout(searchPanel);
    searchLayout->setContentsMargins(2, 2, 2, 2);
    Memo1 = new QPlainTextEdit(searchPanel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("查找内容"));
    Memo1->setFixedWidth(96);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    searchLayout->addWidget(Memo1);
    bar->addWidget(searchPanel);

    add("ToolButton8", QStringLiteral("鞋的型号"), 21, &TAForm2shoes::ToolButton8Click);
    add("ToolButton1", QStringLiteral("鞋底型号"), 21, &TAForm2shoes::ToolButton1Click);
    add("ToolButton3", QStringLiteral("刷新"), 8, &TAForm2shoes::ToolButton3Click);
    kit::addSeparator(bar);
    kit::addUndoButton(bar, windows_.engine.undoJournal(), data::catalogueWindowName(), {Query1}, [this] { ToolButtonCXClick(); },
                       &windows_.engine.store())
        ->setFixedSize(ButtonWidth, ButtonHeight);
    layout->addWidget(bar);
}

void TAForm2shoes::buildRightPanel() {
    // The parts stack from the top at their own heights, the list taking the
    // rest; placeRightPanelParts() puts them whenever the panel or the
    // remark box changes height.
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(RightPanelWidth);
    Panel1->installEventFilter(this);

    PLCLGSTS = new QLabel(catalogue::remarkCaption(), Panel1);
    PLCLGSTS->setObjectName(QStringLiteral("PLCLGSTS"));
    PLCLGSTS->setAccessibleName(PLCLGSTS->text());
    PLCLGSTS->setAlignment(Qt::AlignCenter);
    PLCLGSTS->setFrameStyle(QFrame::Panel | QFrame::Raised);

    DBMemo1 = new dbui::DbMemo(Panel1);
    DBMemo1->setObjectName(QStringLiteral("DBMemo1"));
    DBMemo1->setAccessibleName(catalogue::remarkCaption());
    DBMemo1->setDataSource(DataSource1);
    DBMemo1->setFieldName(QStringLiteral("备注"));
    DBMemo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    DBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    DBMemo1->viewport()->installEventFilter(this);

    PLGFH = new catalogue::PressBar(QString(), Panel1);
    PLGFH->setObjectName(QStringLiteral("PLGFH"));
    connect(PLGFH, &catalogue::PressBar::pressed, this, &TAForm2shoes::PLGFHMouseDown);
    connect(PLGFH, &catalogue::PressBar::released, this, &TAForm2shoes::PLGFHMouseUp);

    PLWDJ = new catalogue::PressBar(catalogue::unregisteredListCaption(), Panel1);
    PLWDJ->setObjectName(QStringLiteral("PLWDJ"));
    connect(PLWDJ, &catalogue::PressBar::pressed, this, &TAForm2shoes::PLWDJMouseDown);
    connect(PLWDJ, &catalogue::PressBar::released, this, &TAForm2shoes::PLWDJMouseUp);
    connect(PLWDJ, &catalogue::PressBar::clicked, this, &TAForm2shoes::PLWDJClick);

    LISTNO = new QListWidget(Panel1);
    LISTNO->setObjectName(QStringLiteral("LISTNO"));
    LISTNO->setAccessibleName(QStringLiteral("未登记列表"));
    LISTNO->setSelectionMode(QAbstractItemView::SingleSelection);
    // One line of text each: the list lays out thousands of lines without
    // measuring every one again each time a line is added.
    LISTNO->setUniformItemSizes(true);
    pendingLinesTimer_ = dbui::makeFollowTimer(dbui::DataSource::followIntervalMs(), [this] { showPendingLines(); });
    connect(LISTNO, &QListWidget::itemDoubleClicked, this, [this] { LISTNODblClick(); });
    placeRightPanelParts();
}

void TAForm2shoes::placeRightPanelParts() {
    const int width = Panel1->width();
    int top = 0;
    auto place = [&](QWidget* part, int height) {
        height = std::max(0, std::min(height, Panel1->height() - top));
        part->setGeometry(0, top, width, height);
        top += height;
    };
    place(PLCLGSTS, BarHeight);
    place(DBMemo1, remarkHeight_);
    place(PLGFH, BarHeight);
    place(PLWDJ, BarHeight);
    place(LISTNO, Panel1->height() - top);
}

void TAForm2shoes::addUnregisteredLine(const QString& line) {
    if (!Query1->isBusy()) {
        LISTNO->addItem(line);
        return;
    }
    pendingLines_ << line;
    if (!pendingLinesTimer_->isActive())
        pendingLinesTimer_->start();
}

void TAForm2shoes::showPendingLines() {
    pendingLinesTimer_->stop();
    if (pendingLines_.isEmpty())
        return;
    LISTNO->addItems(pendingLines_);
    pendingLines_.clear();
}

// ---- posting ----------------------------------------------------------------

void TAForm2shoes::Query1BeforePost(data::Query& query) { catalogue::applyCataloguePostingRule(query); }

data::Query::PostErrorAction TAForm2shoes::Query1PostError(data::Query&, const data::EngineError& error) {
    if (!error.isKeyViolation())
        return data::Query::PostErrorAction::Fail;
    platform::dialogs().information(this, catalogue::duplicateModelColourMessage(), QString(),
                                    platform::MessageIcon::Information);
    // The query drops the pending record and ends the post silently.
    return data::Query::PostErrorAction::Abort;
}

// ---- toolbar ----------------------------------------------------------------

void TAForm2shoes::search(catalogue::SearchField field) {
    kit::WindowStatus status(*sBar);
    catalogue::searchModels(*Query1, field, Memo1->toPlainText(), status);
}

void TAForm2shoes::ToolButton8Click() { search(catalogue::SearchField::ShoeModel); }
void TAForm2shoes::ToolButton1Click() { search(catalogue::SearchField::SoleModel); }

void TAForm2shoes::ToolButton3Click() {
    kit::WindowStatus status(*sBar);
    catalogue::showAllModels(*Query1, status);
}

void TAForm2shoes::ToolButton2Click() {
    if (!platform::dialogs().question(this, kit::deleteQuestion(), kit::noticeCaption()))
        return;
    kit::WindowStatus status(*sBar);
    catalogue::deleteShownModels(*Query1, status);
}

void TAForm2shoes::ToolButtonCXClick() {
    Query1->checkBrowseMode();  // stored first, not dropped by the reopening
    bool undone = false;
    {
        kit::WindowStatus status(*sBar);
        undone = kit::undoLastCommand(this, windows_.engine.undoJournal(), data::catalogueWindowName(), status);
    }
    if (undone)
        Query1->open();
}

void TAForm2shoes::ToolButton6Click() { kit::WindowRegistry::show(windows_.statisticsWindow); }

bool TAForm2shoes::orderLoopRunning() const { return windows_.ordersWindow && windows_.ordersWindow->Query1->isBusy(); }

void TAForm2shoes::setLookupsRunning(bool running) {
    if (!running)
        showPendingLines();
    for (QWidget* w : walkingCommands_)
        w->setEnabled(!running);
    setOrderLoopRunning(orderLoopRunning());
}

// The scan walks the order query, so it waits for the order tools' loops.
void TAForm2shoes::setOrderLoopRunning(bool running) { PLWDJ->setEnabled(!running && !Query1->isBusy()); }

void TAForm2shoes::followOrderQuery() {
    if (followingOrders_ || !windows_.ordersWindow)
        return;
    followingOrders_ = true;
    data::Query* orders = windows_.ordersWindow->Query1;
    connect(orders, &data::Query::busyChanged, this, &TAForm2shoes::setOrderLoopRunning);
    setOrderLoopRunning(orders->isBusy());
}

// ---- right-hand panel ---------------------------------------------------------

void TAForm2shoes::DBMemo1DblClick() { kit::WindowRegistry::show(windows_.materialWindow); }

void TAForm2shoes::setRemarkHeight(int height) {
    remarkHeight_ = height;
    placeRightPanelParts();
}

void TAForm2shoes::FormShow() { setRemarkHeight(remarkHeight(Panel1->height())); }
void TAForm2shoes::FormResize() { setRemarkHeight(remarkHeight(Panel1->height())); }

void TAForm2shoes::PLGFHMouseDown() { PLGFH->setLowered(true); }
void TAForm2shoes::PLGFHMouseUp() { PLGFH->setLowered(false); }
void TAForm2shoes::PLWDJMouseDown() { PLWDJ->setLowered(true); }
void TAForm2shoes::PLWDJMouseUp() { PLWDJ->setLowered(false); }

void TAForm2shoes::PLWDJClick() {
    if (!windows_.ordersWindow)
        return;
    followOrderQuery();
    kit::WindowStatus status(*sBar);
    ListBoxEntries entries(*LISTNO);
    catalogue::scanUnregisteredModels(*windows_.ordersWindow->Query1, *Query1, entries, status);
}

void TAForm2shoes::LISTNODblClick() {
    QListWidgetItem* selected = LISTNO->currentItem();
    if (!selected || !selected->isSelected())
        return;
    // A refused record (a duplicate) ends the handler here: the entry stays.
    catalogue::addListedModel(*Query1, selected->text());
    delete selected;

    QWidget* material = windows_.materialWindow;
    kit::WindowRegistry::show(material);
    move(10, y());
    if (material)
        material->move(frameGeometry().width() + 10, y());
}

// ---- window events --------------------------------------------------------------

void TAForm2shoes::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!shownBefore_) {
        shownBefore_ = true;
        kit::centreOnScreen(this);
    }
    followOrderQuery();
    if (auto* l = layout())
        l->activate();
    FormShow();
}

void TAForm2shoes::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (auto* l = layout())
        l->activate();
    FormResize();
}

bool TAForm2shoes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Panel1) {
        if (event->type() == QEvent::Resize && LISTNO)
            placeRightPanelParts();
    } else if (DBMemo1 && watched == DBMemo1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        DBMemo1DblClick();
    }
    return QWidget::eventFilter(watched, event);
}
