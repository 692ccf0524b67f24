#include "orders/search_window.h"

#include "window_kit/window_look.h"

#include "data/core/search_terms.h"
#include "orders/order_messages.h"
#include "orders/orders_window.h"
#include "platform/dialogs.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

constexpr int StatusPanel = 2;

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(caption);
    return box;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QString& accessible) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setAccessibleName(accessible);
    return edit;
}

void setBackground(QLineEdit* edit, const QColor& colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Base, colour);
    edit->setPalette(p);
}

}  // namespace

TaForm7SS::TaForm7SS(kit::WindowRegistry& windows, QWidget* parent)
    : QWidget(parent, kit::fixedWindowFlags()),
      windows_(windows) {
    setObjectName(QStringLiteral("aForm7SS"));
    setWindowTitle(QStringLiteral("综合搜索"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* panels = new QHBoxLayout;
    panels->setSpacing(1);
    panels->addWidget(buildCriteriaPanel());
    panels->addWidget(buildListPanel());
    layout->addLayout(panels, 1);
    sB = new kit::StatusPanels({50, 50}, this);
    sB->setObjectName(QStringLiteral("sB"));
    layout->addWidget(sB);
    setFixedSize(363, 263);

    if (windows_.ordersWindow)
        connect(windows_.ordersWindow->Query1, &data::Query::busyChanged, this,
                [this](bool busy) { setSearchesEnabled(!busy); });
}

QWidget* TaForm7SS::buildCriteriaPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelLeft"));
    panel->setFixedWidth(229);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);

    QToolBar* bar = kit::makeToolBar(panel, QStringLiteral("ToolBar1"));
    TButS = kit::addToolButton(bar, QStringLiteral("TButS"), QStringLiteral(" 查询 "), 21, [this] { TButSClick(); });
    TButS->setToolTip(QStringLiteral("单击得到搜索结果"));
    ToolButton3 = kit::addToolButton(bar, QStringLiteral("ToolButton3"), QStringLiteral("刷新"), 9, [this] { ToolButton3Click(); });
    ToolButton3->setToolTip(QStringLiteral("取消搜索结果"));
    kit::addSeparator(bar);
    TBUTclear = kit::addToolButton(bar, QStringLiteral("TBUTclear"), QStringLiteral("清空"), 17, [this] { TBUTclearClick(); });
    TBUTclear->setToolTip(QStringLiteral("清空输入框,复选框的内容"));
    layout->addWidget(bar);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(3);
    CBXPH = makeCheckBox(panel, "CBXPH", QStringLiteral("批号"));
    EditPH = makeEdit(panel, "EditPH", QStringLiteral("批号"));
    CBXDH = makeCheckBox(panel, "CBXDH", QStringLiteral("单号"));
    EditDH = makeEdit(panel, "EditDH", QStringLiteral("单号"));
    setBackground(EditDH, QColor(0xFF, 0xFF, 0xE1));  // info-tip yellow
    CBXCNXH = makeCheckBox(panel, "CBXCNXH", QStringLiteral("型号"));
    EditCNXH = makeEdit(panel, "EditCNXH", QStringLiteral("型号"));
    setBackground(EditCNXH, QColor(0xC0, 0xC0, 0xC0));
    CBXCNXH_DYU = makeCheckBox(panel, "CBXCNXH_DYU", QStringLiteral("模糊"));
    CBXYS = makeCheckBox(panel, "CBXYS", QStringLiteral("颜色"));
    EditYS = makeEdit(panel, "EditYS", QStringLiteral("颜色"));
    CBXWTJ = makeCheckBox(panel, "CBXWTJ", QStringLiteral("未  统  计"));
    CBXYTJ = makeCheckBox(panel, "CBXYTJ", QStringLiteral("已  统  计"));
    grid->addWidget(CBXPH, 0, 0);
    grid->addWidget(EditPH, 0, 1, 1, 2);
    grid->addWidget(CBXDH, 1, 0);
    grid->addWidget(EditDH, 1, 1, 1, 2);
    grid->addWidget(CBXCNXH, 2, 0);
    grid->addWidget(EditCNXH, 2, 1);
    grid->addWidget(CBXCNXH_DYU, 2, 2);
    grid->addWidget(CBXYS, 3, 0);
    grid->addWidget(EditYS, 3, 1, 1, 2);
    grid->addWidget(CBXWTJ, 4, 0, 1, 2);
    grid->addWidget(CBXYTJ, 4, 2);
    layout->addLayout(grid);
    layout->addStretch(1);

    // A change of a criterion's text by the user ticks its row.
    const QList<QPair<QLineEdit*, QCheckBox*>> rows = {{EditPH, CBXPH}, {EditDH, CBXDH}, {EditCNXH, CBXCNXH}, {EditYS, CBXYS}};
    for (const auto& [edit, box] : rows)
        connect(edit, &QLineEdit::textEdited, box, [box = box] { box->setChecked(true); });
    // At most one of the two counted boxes is ticked.
    connect(CBXWTJ, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CBXYTJ->setChecked(false);
    });
    connect(CBXYTJ, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            CBXWTJ->setChecked(false);
    });
    return panel;
}

QWidget* TaForm7SS::buildListPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelRight"));
    panel->setFixedWidth(133);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QToolBar* bar = kit::makeToolBar(panel, QStringLiteral("ToolBar2"));
    auto add = [&](const char* name, const QString& caption, const QString& hint, void (TaForm7SS::*handler)()) {
        QToolButton* b = kit::addToolButton(bar, QString::fromLatin1(name), caption, 21, [this, handler] { (this->*handler)(); });
        b->setToolTip(hint);
        b->setMinimumSize(42, 51);
        return b;
    };
    ToolButton12 = add("ToolButton12", QStringLiteral("批号"), QStringLiteral("以最右边输入框的多行内容为批号,进行批量搜索"),
                       &TaForm7SS::ToolButton12Click);
    ToolButton13 = add("ToolButton13", QStringLiteral("单号"), QStringLiteral("以最右边输入框的多行内容为厂内单号,进行批量搜索"),
                       &TaForm7SS::ToolButton13Click);
    ToolButton14 = add("ToolButton14", QStringLiteral("型号"), QStringLiteral("以最右边输入框的多行内容为厂内型号,进行批量搜索"),
                       &TaForm7SS::ToolButton14Click);
    layout->addWidget(bar);
    Memo1 = new QPlainTextEdit(panel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAccessibleName(QStringLiteral("批量搜索内容"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(Memo1, 1);
    return panel;
}

void TaForm7SS::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) {
        kit::centreOnScreen(this);
        FormShow();
    }
}

void TaForm7SS::FormShow() {
    if (std::optional<QStringList> models = orders::readPickList())
        windows_.ordersWindow->setModelChoices(*models);
}

orders::SearchCriteria TaForm7SS::criteria() const {
    orders::SearchCriteria c;
    c.batchTicked = CBXPH->isChecked();
    c.batch = EditPH->text();
    c.orderTicked = CBXDH->isChecked();
    c.order = EditDH->text();
    c.modelTicked = CBXCNXH->isChecked();
    c.model = EditCNXH->text();
    c.modelFuzzy = CBXCNXH_DYU->isChecked();
    c.colourTicked = CBXYS->isChecked();
    c.colour = EditYS->text();
    c.counted = CBXYTJ->isChecked();
    c.notCounted = CBXWTJ->isChecked();
    return c;
}

void TaForm7SS::showCount(int records) {
    const QString text = orders::countText(records);
    windows_.ordersWindow->sBar->setPanelText(StatusPanel, text);
    sB->setPanelText(StatusPanel, text);
}

void TaForm7SS::TButSClick() {
    orders::ensurePickListFile();
    const QString statement = orders::combinedSearchStatement(criteria());
    sB->setPanelText(StatusPanel, statement);
    sB->repaint();
    showCount(orders::showOrders(*windows_.ordersWindow->Query1, statement));
}

void TaForm7SS::listSearch(orders::ListSearchField field) {
    const QStringList lines = data::listLines(Memo1->toPlainText());
    if (lines.isEmpty())
        return;
    const int records = orders::showOrders(*windows_.ordersWindow->Query1, orders::listSearchStatement(field, lines));
    if (orders::listSearchFoundWrongCount(field, int(lines.size()), records))
        platform::dialogs().information(this, orders::wrongBatchListMessage(), QApplication::applicationName(),
                                        platform::MessageIcon::None);
    showCount(records);
}

void TaForm7SS::ToolButton12Click() { listSearch(orders::ListSearchField::BatchNumber); }
void TaForm7SS::ToolButton13Click() { listSearch(orders::ListSearchField::OrderNumber); }
void TaForm7SS::ToolButton14Click() { listSearch(orders::ListSearchField::ShoeModel); }

void TaForm7SS::ToolButton3Click() {
    showCount(orders::showOrders(*windows_.ordersWindow->Query1, orders::allOrdersStatement()));
}

void TaForm7SS::TBUTclearClick() {
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->clear();
    for (QComboBox* box : findChildren<QComboBox*>())
        box->setCurrentText(QString());
    for (QCheckBox* box : findChildren<QCheckBox*>())
        box->setChecked(false);
    Memo1->clear();
    CBXCNXH_DYU->setChecked(true);
}

void TaForm7SS::setSearchesEnabled(bool enabled) {
    for (QToolButton* b : {TButS, ToolButton3, ToolButton12, ToolButton13, ToolButton14})
        b->setEnabled(enabled);
}
