#include "app/main_window.h"

#include "window_kit/window_look.h"

#include "app/backup_windows.h"
#include "app/picture.h"
#include "data/engine/engine.h"
#include "platform/dialogs.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "window_kit/desk_notices.h"
#include "window_kit/status_panels.h"
#include "window_kit/toolbar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

// The windows the toolbar opens; their classes are only needed for show().
#include "catalogue/shoes_window.h"
#include "orders/orders_window.h"
#include "statistics/statistics_window.h"

namespace app {

QPoint centredPosition(const QSize& outer, const QSize& inner) {
    // Integer division truncates toward zero, negative spare room included.
    return QPoint((outer.width() - inner.width()) / 2, (outer.height() - inner.height()) / 2);
}

PicturePanel::PicturePanel(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setLineWidth(2);
}

void PicturePanel::setPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void PicturePanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    if (picture_.isNull())
        return;
    QPainter painter(this);
    const QRect inside = rect().adjusted(2, 2, -2, -2);
    painter.setClipRect(inside);
    painter.drawImage(inside.topLeft(), picture_);
}

}  // namespace app

TaForm1::TaForm1(kit::WindowRegistry& windows, QWidget* parent)
    : QWidget(parent, kit::fixedWindowFlags()),
      windows_(windows) {
    setObjectName(QStringLiteral("aForm1"));
    setWindowTitle(QStringLiteral("Tavrel " TAVREL_VERSION));
    setFixedSize(ClientWidth, ClientHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QToolBar* bar = kit::makeToolBar(this);
    bar->setFixedHeight(51);
    auto addButton = [&](const char* name, const QString& caption, int icon, void (TaForm1::*handler)()) {
        QToolButton* b = kit::addToolButton(bar, QString::fromLatin1(name), caption, icon, [this, handler] { (this->*handler)(); });
        b->setFixedSize(67, 51);
    };
    addButton("ToolButton1", QStringLiteral("鞋底型号表"), 10, &TaForm1::ToolButton1Click);
    kit::addSeparator(bar);
    addButton("ToolButton2", QStringLiteral("订单数量表"), 17, &TaForm1::ToolButton2Click);
    kit::addSeparator(bar);
    addButton("ToolButton4", QStringLiteral("鞋底统计"), 3, &TaForm1::ToolButton4Click);
    kit::addSeparator(bar);
    addButton("ToolButton10", QStringLiteral("帮助"), 14, &TaForm1::ToolButton10Click);
    kit::addSeparator(bar);
    addButton("RestoreBackup", QStringLiteral("恢复备份"), 1, &TaForm1::RestoreBackupClick);
    layout->addWidget(bar);

    PBLACK = new QFrame(this);
    PBLACK->setObjectName(QStringLiteral("PBLACK"));
    PBLACK->setFrameShape(QFrame::Panel);
    PBLACK->setFrameShadow(QFrame::Sunken);
    PBLACK->setAutoFillBackground(true);
    QPalette workspace = PBLACK->palette();
    workspace.setColor(QPalette::Window, workspace.color(QPalette::Dark));
    PBLACK->setPalette(workspace);
    layout->addWidget(PBLACK, 1);

    PLCCD = new app::PicturePanel(PBLACK);
    PLCCD->setObjectName(QStringLiteral("PLCCD"));
    PLCCD->setAccessibleName(QStringLiteral("数据流程图"));
    PLCCD->setFixedSize(526, 278);
    PLCCD->setPicture(app::mainPicture());

    // A hot spot is read by assistive tools as the label of the picture it
    // lies over.
    auto hotSpot = [&](const char* name, QRect geometry, const QString& over, void (TaForm1::*handler)()) {
        auto* b = new QToolButton(PLCCD);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(over);
        b->setAutoRaise(true);
        b->setGeometry(geometry);
        b->setStyleSheet(QStringLiteral("QToolButton { background: transparent; border: none; }"
                                        "QToolButton:hover { border: 1px solid palette(dark); }"));
        connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
        return b;
    };
    SpeedButton1 = hotSpot("SpeedButton1", QRect(80, 98, 81, 75), QStringLiteral("鞋底型号表"), &TaForm1::ToolButton1Click);
    SpeedButton2 = hotSpot("SpeedButton2", QRect(428, 97, 81, 75), QStringLiteral("订单数量表"), &TaForm1::ToolButton2Click);
    SpeedButton3 = hotSpot("SpeedButton3", QRect(257, 121, 73, 26), QStringLiteral("鞋底统计"), &TaForm1::ToolButton4Click);

    sBar = new kit::StatusPanels({50, 50}, this);
    layout->addWidget(sBar);
    new kit::DeskNotices(*sBar, windows_.engine);
}

void TaForm1::ToolButton1Click() { kit::WindowRegistry::show(windows_.shoesWindow); }
void TaForm1::ToolButton2Click() { kit::WindowRegistry::showMaximized(windows_.ordersWindow); }
void TaForm1::ToolButton4Click() { kit::WindowRegistry::show(windows_.statisticsWindow); }

QString TaForm1::helpFolder() { return platform::programFolder() + QStringLiteral("帮助文档"); }

void TaForm1::ToolButton10Click() {
    const QString folder = helpFolder();
    // Nothing is reported: without the folder the click has no effect.
    if (platform::ensureFolder(folder))
        platform::fileManager().openFolder(folder);
}

void TaForm1::RestoreBackupClick() {
    const QString folder = windows_.engine.store().folder();
    if (folder.isEmpty()) {
        platform::dialogs().information(this,
                                        QStringLiteral("数据表在数据库服务器上，由服务器的管理员用数据表工具"
                                                       "（tavrel-tables backup / restore）备份和恢复。"),
                                        QStringLiteral("恢复备份"));
        return;
    }
    auto* window = new app::RestoreBackupWindow(
        folder, [this](const backup::BackupEntry& chosen) { emit restoreChosen(chosen); }, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
}

void TaForm1::showBackupText(const QString& text) { sBar->setPanelText(2, text); }

void TaForm1::centrePicturePanel() { PLCCD->move(app::centredPosition(PBLACK->size(), PLCCD->size())); }

void TaForm1::FormShow() { centrePicturePanel(); }
void TaForm1::FormResize() { centrePicturePanel(); }

void TaForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        kit::centreOnScreen(this);
    if (auto* l = layout())
        l->activate();
    FormShow();
}

void TaForm1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (auto* l = layout())
        l->activate();
    FormResize();
}

void TaForm1::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program.
    event->accept();
    QApplication::quit();
}
