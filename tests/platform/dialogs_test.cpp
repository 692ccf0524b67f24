#include "platform/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <functional>

using platform::Dialogs;
using platform::MessageButtons;
using platform::MessageIcon;
using platform::MessageKind;
using platform::ScriptedDialogs;

namespace {

struct BoxCase {
    const char* name;
    std::function<void(Dialogs&, QWidget*)> show;
    MessageKind kind;
    QString text;
    QString caption;
    MessageIcon icon;
    MessageButtons buttons;
};

void PrintTo(const BoxCase& c, std::ostream* out)
{
    *out << c.name;
}

class ScriptedBoxes : public ::testing::TestWithParam<BoxCase> {};

TEST_P(ScriptedBoxes, RecordEverythingTheCallerAskedFor)
{
    const BoxCase& c = GetParam();
    ScriptedDialogs scripted;
    QWidget owner;

    c.show(platform::dialogs(), &owner);

    ASSERT_EQ(scripted.messages().size(), 1u);
    const ScriptedDialogs::Message& shown = scripted.messages().front();
    EXPECT_EQ(shown.kind, c.kind);
    EXPECT_EQ(shown.owner, &owner);
    EXPECT_EQ(shown.text, c.text);
    EXPECT_EQ(shown.caption, c.caption);
    EXPECT_EQ(shown.icon, c.icon);
    EXPECT_EQ(shown.buttons, c.buttons);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ScriptedBoxes,
    ::testing::Values(
        BoxCase{"DeleteQuestion",
                [](Dialogs& d, QWidget* o) { d.question(o, "你真的要删除吗？", "提示信息"); },
                MessageKind::Question, "你真的要删除吗？", "提示信息", MessageIcon::Question,
                MessageButtons::OkCancel},
        BoxCase{"DuplicateKeyWithoutCaption",
                [](Dialogs& d, QWidget* o) { d.information(o, "批号重复!!!", ""); },
                MessageKind::Information, "批号重复!!!", "", MessageIcon::Information,
                MessageButtons::Ok},
        BoxCase{"PlainBoxWithoutIcon",
                [](Dialogs& d, QWidget* o) {
                    d.information(o, "输入的批号有误！", "Tavrel", MessageIcon::None);
                },
                MessageKind::Information, "输入的批号有误！", "Tavrel", MessageIcon::None,
                MessageButtons::Ok},
        BoxCase{"Warning",
                [](Dialogs& d, QWidget* o) { d.warning(o, "与EXCEL文件连接失败!", "提示信息"); },
                MessageKind::Warning, "与EXCEL文件连接失败!", "提示信息", MessageIcon::Warning,
                MessageButtons::Ok},
        BoxCase{"ErrorWithOwnCaption",
                [](Dialogs& d, QWidget* o) { d.error(o, "文件a.xls不存在", "系统提示"); },
                MessageKind::Error, "文件a.xls不存在", "系统提示", MessageIcon::Error,
                MessageButtons::Ok}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

TEST(NameFilters, WindowsStyleEntriesBecomeQtFilters)
{
    const struct {
        QString windowsStyle;
        QString qtStyle;
    } cases[] = {
        {"EXCEL|*.xls", "EXCEL (*.xls)"},
        {"表格|*.xls;*.xlsx", "表格 (*.xls *.xlsx)"},
        {"All files | *.* ", "All files (*.*)"},
        {"Text (*.txt)", "Text (*.txt)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::toQtNameFilter(c.windowsStyle), c.qtStyle) << c.windowsStyle.toStdString();
}

}  // namespace
