// The real Qt boxes: each test closes its box from a timer as soon as it is
// shown, so no test waits for a user.
#include "platform/modal_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <memory>

using platform::MessageIcon;

namespace {

// Calls `act` with the first visible top-level widget of type T once one
// shows up; `act` must close it. The minute is only a safety net for a box
// that never shows.
template <class T>
void whenShown(std::function<void(T*)> act)
{
    auto* timer = new QTimer;
    auto ceiling = std::make_shared<QDeadlineTimer>(60'000);
    QObject::connect(timer, &QTimer::timeout, [timer, ceiling, act] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* found = qobject_cast<T*>(widget); found && found->isVisible()) {
                timer->stop();
                timer->deleteLater();
                act(found);
                return;
            }
        }
        if (ceiling->hasExpired()) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the dialog never showed";
        }
    });
    timer->start(10);
}

struct ShownBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget* parent = nullptr;
    bool modal = false;
};

enum class Close { Ok, Cancel, Yes, No, Window };

void closeBoxRecording(ShownBox& shown, Close how)
{
    whenShown<QMessageBox>([&shown, how](QMessageBox* box) {
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                 box->parentWidget(), box->isModal()};
        switch (how) {
        case Close::Ok: box->button(QMessageBox::Ok)->click(); break;
        case Close::Cancel: box->button(QMessageBox::Cancel)->click(); break;
        case Close::Yes: box->button(QMessageBox::Yes)->click(); break;
        case Close::No: box->button(QMessageBox::No)->click(); break;
        case Close::Window: box->close(); break;
        }
    });
}

class ModalDialogsTest : public ::testing::Test {
protected:
    platform::ModalDialogs dialogs;
    QWidget owner;
};

TEST_F(ModalDialogsTest, QuestionShowsCaptionIconAndBothButtons)
{
    const auto okCancel = [this] { return dialogs.question(&owner, "你真的要删除吗？", "提示信息"); };
    const auto yesNo = [this] { return dialogs.choose(&owner, "你真的要删除吗？", "提示信息"); };
    const struct {
        std::function<bool()> ask;
        Close how;
        bool expected;
        QMessageBox::StandardButtons buttons;
    } cases[] = {
        {okCancel, Close::Ok, true, QMessageBox::Ok | QMessageBox::Cancel},
        {okCancel, Close::Cancel, false, QMessageBox::Ok | QMessageBox::Cancel},
        {okCancel, Close::Window, false, QMessageBox::Ok | QMessageBox::Cancel},
        {yesNo, Close::Yes, true, QMessageBox::Yes | QMessageBox::No},
        {yesNo, Close::No, false, QMessageBox::Yes | QMessageBox::No},
        {yesNo, Close::Window, false, QMessageBox::Yes | QMessageBox::No},
    };

    for (const auto& c : cases) {
        ShownBox shown;
        closeBoxRecording(shown, c.how);
        const bool answer = c.ask();

        EXPECT_EQ(answer, c.expected) << int(c.how);
        EXPECT_EQ(shown.title, "提示信息");
        EXPECT_EQ(shown.text, "你真的要删除吗？");
        EXPECT_EQ(shown.icon, QMessageBox::Question);
        EXPECT_EQ(shown.buttons, c.buttons);
        EXPECT_EQ(shown.parent, &owner);
        EXPECT_TRUE(shown.modal);
    }
}

TEST_F(ModalDialogsTest, NoticesHaveOnlyOkAndTheAskedIcon)
{
    const struct {
        std::function<void()> show;
        QString caption;
        QMessageBox::Icon icon;
    } cases[] = {
        {[&] { dialogs.information(&owner, "批号重复!!!", ""); }, "", QMessageBox::Information},
        {[&] { dialogs.information(&owner, "批号重复!!!", "T", MessageIcon::None); }, "T",
         QMessageBox::NoIcon},
        {[&] { dialogs.warning(&owner, "批号重复!!!", "提示信息"); }, "提示信息", QMessageBox::Warning},
        {[&] { dialogs.error(&owner, "批号重复!!!", "系统提示"); }, "系统提示", QMessageBox::Critical},
    };
    for (const auto& c : cases) {
        ShownBox shown;
        closeBoxRecording(shown, Close::Ok);
        c.show();
        EXPECT_EQ(shown.title, c.caption);
        EXPECT_EQ(shown.text, "批号重复!!!");
        EXPECT_EQ(shown.icon, c.icon);
        EXPECT_EQ(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

TEST_F(ModalDialogsTest, TextIsShownAsPlainText)
{
    QString format;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        format = box->textFormat() == Qt::PlainText ? "plain" : "other";
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.information(&owner, "<b>a</b>", "");
    EXPECT_EQ(format, "plain");
}

TEST_F(ModalDialogsTest, FileDialogUsesFiltersAndReturnsTheChosenFile)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString chosen = folder.filePath("orders.xls");

    QStringList filters;
    QString title;
    QString prefilled;
    whenShown<QFileDialog>([&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        title = dialog->windowTitle();
        prefilled = dialog->selectedFiles().value(0);
        // Typed into the name box: selectFile() leaves the box alone while it
        // has the focus.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_TRUE(name);
        name->setText(QFileInfo(chosen).fileName());
        static_cast<QDialog*>(dialog)->accept();
    });
    const QString result =
        dialogs.openFile(&owner, "打开", {"EXCEL|*.xls", "表格|*.xls;*.xlsx"}, folder.path(), "订单导入");

    EXPECT_EQ(result, chosen);
    EXPECT_EQ(title, "打开");
    EXPECT_EQ(filters, QStringList({"EXCEL (*.xls)", "表格 (*.xls *.xlsx)"}));
    EXPECT_EQ(prefilled, folder.filePath("订单导入"));
}

TEST_F(ModalDialogsTest, CancelledFileDialogReturnsNothing)
{
    whenShown<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(dialogs.openFile(&owner, "打开", {"EXCEL|*.xls"}, "", "订单导入"), QString());
}

}  // namespace
