#include "orders/order_entry_window.h"

#include "data/core/schema.h"
#include "data/engine/engine.h"
#include "window_kit/window_look.h"

#include "orders/order_entry.h"
#include "orders/order_messages.h"
#include "orders/orders_window.h"
#include "platform/dialogs.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"
#include "window_kit/write_rights.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace {

QSpinBox* makeSpinBox(QWidget* parent, const char* name, const QString& label, int minimum, int value) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(label);
    box->setRange(minimum, std::numeric_limits<int>::max());
    box->setValue(value);
    return box;
}

}  // namespace

TaForm4DDSR::TaForm4DDSR(kit::WindowRegistry& windows, QWidget* parent)
    : QWidget(parent, kit::fixedWindowFlags()),
      windows_(windows) {
    setObjectName(QStringLiteral("aForm4DDSR"));
    setWindowTitle(QStringLiteral("订单输入"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QToolBar* bar = kit::makeToolBar(this);
    ToolButton1 = kit::addToolButton(bar, QStringLiteral("ToolButton1"), QStringLiteral("输入批号"), 5, [this] { ToolButton1Click(); });
    kit::addSeparator(bar);
    ToolButton2 = kit::addToolButton(bar, QStringLiteral("ToolButton2"), QStringLiteral("清空数据"), 12, [this] { ToolButton2Click(); });
    layout->addWidget(bar);

    auto* panel = new QGroupBox(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    auto* form = new QFormLayout(panel);
    form->setContentsMargins(16, 12, 16, 12);
    form->setVerticalSpacing(10);
    EditCNDH = new QLineEdit(QStringLiteral("100"), panel);
    EditCNDH->setObjectName(QStringLiteral("EditCNDH"));
    EditCNDH->setAccessibleName(QStringLiteral("厂内单号"));
    EditCNDH->setToolTip(QStringLiteral("双击提取订单编号里的下单日期"));
    // The running number is counted on from here, so it cannot go below 0.
    EditBegin = makeSpinBox(panel, "EditBegin", QStringLiteral("开始批号"), 0, 1);
    EditCount = makeSpinBox(panel, "EditCount", QStringLiteral("订单行数"), std::numeric_limits<int>::min(), 1);
    form->addRow(QStringLiteral("厂内单号"), EditCNDH);
    form->addRow(QStringLiteral("开始批号"), EditBegin);
    form->addRow(QStringLiteral("订单行数"), EditCount);
    layout->addWidget(panel, 1);

    sBar = new kit::StatusPanels({50}, this);
    layout->addWidget(sBar);
    setFixedSize(320, 230);

    kit::barUnlessWritable(windows_.engine.store(), {data::ordersTable().fileName}, {ToolButton1});
    if (windows_.ordersWindow)
        connect(windows_.ordersWindow->Query1, &data::Query::busyChanged, ToolButton1,
                [this](bool busy) { ToolButton1->setEnabled(!busy); });
}

void TaForm4DDSR::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    kit::centreOnScreen(this);
}

void TaForm4DDSR::ToolButton1Click() {
    orders::OrderEntryRequest request;
    request.orderNumber = EditCNDH->text();
    request.start = EditBegin->value();
    request.count = EditCount->value();
    const orders::OrderEntryOutcome outcome = orders::enterOrders(*windows_.ordersWindow->Query1, request);
    if (outcome != orders::OrderEntryOutcome::Generated)
        platform::dialogs().error(this, orders::refusalMessage(outcome), kit::noticeCaption(), platform::MessageIcon::Error);
}

void TaForm4DDSR::ToolButton2Click() {
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        if (qobject_cast<QSpinBox*>(edit->parentWidget()))
            continue;  // the text inside a spin box is the box's own
        edit->clear();
    }
    for (QCheckBox* box : findChildren<QCheckBox*>())
        box->setChecked(false);
    for (QComboBox* box : findChildren<QComboBox*>())
        box->setCurrentText(QString());
}
