// Qt's own texts in the boxes and the file dialog read in Chinese once the
// catalogue is installed, and in English again once it is gone.
#include "platform/modal_dialogs.h"
#include "platform/qt_texts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace {

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

QStringList buttonTexts(const QList<QAbstractButton*>& buttons)
{
    QStringList texts;
    for (const QAbstractButton* b : buttons)
        texts << b->text();
    return texts;
}

TEST(ChineseQtTexts, QuestionBoxButtonsReadInChinese)
{
    platform::MessageRequest request;
    request.text = QStringLiteral("你真的要删除吗？");
    request.caption = QStringLiteral("提示信息");
    request.buttons = platform::MessageButtons::OkCancel;
    request.icon = platform::MessageIcon::Question;
    {
        const platform::ChineseQtTexts texts;
        ASSERT_TRUE(texts.installed()) << "qtbase_zh_CN.qm not found in "
                                       << platform::ChineseQtTexts::searchFolders().join(", ").toStdString();
        EXPECT_TRUE(texts.fileName().endsWith("qtbase_zh_CN.qm")) << texts.fileName().toStdString();
        const auto box = platform::ModalDialogs::makeMessageBox(request);
        const struct {
            QMessageBox::StandardButton which;
            const char* english;
        } cases[] = {{QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Cancel"}};
        for (const auto& c : cases) {
            QAbstractButton* button = box->button(c.which);
            ASSERT_TRUE(button) << c.english;
            const QString text = button->text().remove('&');
            EXPECT_TRUE(hasChinese(text)) << c.english << " reads " << text.toStdString();
            EXPECT_EQ(button->accessibleName().isEmpty() ? text : button->accessibleName().remove('&'), text);
        }
        // The system's own texts stay as they are.
        EXPECT_EQ(box->text(), request.text);
        EXPECT_EQ(box->windowTitle(), request.caption);
    }
    // Without the catalogue Qt speaks English again.
    const auto box = platform::ModalDialogs::makeMessageBox(request);
    EXPECT_EQ(buttonTexts(box->buttons()).join(',').remove('&'), "OK,Cancel");
}

TEST(ChineseQtTexts, FileDialogReadsInChinese)
{
    const platform::ChineseQtTexts texts;
    ASSERT_TRUE(texts.installed());
    platform::FileOpenRequest request;
    request.title = QStringLiteral("订单导入");
    request.filters = {QStringLiteral("EXCEL|*.xls")};
    const auto dialog = platform::ModalDialogs::makeFileDialog(request);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog->windowTitle(), request.title);

    // Labels of Qt's own dialog, by the names Qt gives them.
    for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"}) {
        const auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_TRUE(label) << name;
        EXPECT_TRUE(hasChinese(label->text())) << name << " reads " << label->text().toStdString();
    }
    const auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(buttons);
    const QStringList captions = buttonTexts(buttons->buttons());
    ASSERT_EQ(captions.size(), 2);
    for (const QString& caption : captions)
        EXPECT_TRUE(hasChinese(caption)) << caption.toStdString();
}

// Texts Qt's own catalogue lacks come from ours: the file dialog's folders
// and drives, the disclosure of an error's detail, and Qt's dates.
TEST(ChineseQtTexts, OurCatalogueSuppliesWhatQtsLacks)
{
    platform::MessageRequest request;
    request.kind = platform::MessageKind::Error;
    request.text = QStringLiteral("磁盘已满，数据表不能再写入。");
    request.details = QStringLiteral("database or disk is full");
    QStringList english;
    {
        const platform::ChineseQtTexts texts;
        const QAbstractFileIconProvider icons;
        EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), QStringLiteral("文件夹"));
        const auto box = platform::ModalDialogs::makeMessageBox(request);
        EXPECT_TRUE(buttonTexts(box->buttons()).contains(QStringLiteral("详细信息...")))
            << buttonTexts(box->buttons()).join(',').toStdString();
        EXPECT_EQ(QLocale().toString(QDate(2026, 12, 8), QStringLiteral("MMMM")), QStringLiteral("十二月"));
    }
    const QAbstractFileIconProvider icons;
    EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), QStringLiteral("Folder"));
}

}  // namespace
