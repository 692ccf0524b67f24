#include "dbui_fixture.h"

#include "dbui/db_navigator.h"
#include "platform/scripted_dialogs.h"

#include <QToolButton>

namespace {

using Button = dbui::DbNavigator::Button;

class NavigatorTest : public DbuiFixture {
protected:
    QList<Button> enabledButtons() const
    {
        QList<Button> enabled;
        for (Button b : dbui::DbNavigator::allButtons())
            if (nav.button(b)->isEnabled())
                enabled << b;
        return enabled;
    }
    dbui::DbNavigator nav;
};

TEST_F(NavigatorTest, ButtonsFollowTheQueryState)
{
    struct Case {
        const char* name;
        std::function<void(data::Query&)> step;
        QList<Button> enabled;
    };
    const std::vector<Case> cases = {
        {"at the first record", [](data::Query& q) { q.first(); },
         {Button::Next, Button::Last, Button::Insert, Button::Delete, Button::Edit, Button::Refresh}},
        {"in the middle", [](data::Query& q) { q.next(); },
         {Button::First, Button::Prior, Button::Next, Button::Last, Button::Insert, Button::Delete, Button::Edit,
          Button::Refresh}},
        {"at the last record", [](data::Query& q) { q.last(); },
         {Button::First, Button::Prior, Button::Insert, Button::Delete, Button::Edit, Button::Refresh}},
        {"editing", [](data::Query& q) { q.edit(); },
         {Button::First, Button::Prior, Button::Insert, Button::Delete, Button::Post, Button::Cancel,
          Button::Refresh}},
        {"closed", [](data::Query& q) { q.close(); }, {}},
    };
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    nav.setDataSource(source.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.step(*query);
        EXPECT_EQ(enabledButtons(), c.enabled);
    }
    query->open();
    query->close();
    query->setSql(QStringLiteral("select * from dd.db where 批号='none'"));
    query->open();
    EXPECT_EQ(enabledButtons(), (QList<Button>{Button::Insert, Button::Refresh})) << "empty result";
}

TEST_F(NavigatorTest, ButtonsMoveAndEdit)
{
    addOrders({QStringLiteral("A1"), QStringLiteral("A2"), QStringLiteral("A3")});
    nav.setDataSource(source.get());
    nav.button(Button::Last)->click();
    EXPECT_EQ(query->recNo(), 3);
    EXPECT_FALSE(nav.button(Button::Next)->isEnabled());
    nav.button(Button::Prior)->click();
    EXPECT_EQ(query->recNo(), 2);
    nav.button(Button::Edit)->click();
    query->field(QStringLiteral("备注")).setText(QStringLiteral("r"));
    nav.button(Button::Post)->click();
    EXPECT_EQ(query->state(), data::Query::State::Browse);
    EXPECT_EQ(stored(QStringLiteral("备注")), (QStringList{QString(), QStringLiteral("r"), QString()}));
    nav.button(Button::Insert)->click();
    EXPECT_EQ(query->state(), data::Query::State::Insert);
    nav.button(Button::Cancel)->click();
    EXPECT_EQ(query->rowCount(), 3);
    nav.button(Button::Refresh)->click();
    EXPECT_EQ(query->recNo(), 2);
}

TEST_F(NavigatorTest, DeleteAsksFirstWhenTold)
{
    struct Case {
        const char* name;
        bool confirm;
        bool answer;
        int questions;
        QStringList left;
    };
    const std::vector<Case> cases = {
        {"cancel keeps the record", true, false, 1, {QStringLiteral("A1"), QStringLiteral("A2")}},
        {"ok deletes it", true, true, 1, {QStringLiteral("A2")}},
        {"no question", false, false, 0, {QStringLiteral("A2")}},
    };
    nav.setDataSource(source.get());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        query->setSql(QStringLiteral("select * from dd.db"));
        query->open();
        while (!query->isEmpty())
            query->remove();
        addOrders({QStringLiteral("A1"), QStringLiteral("A2")});
        platform::ScriptedDialogs dialogs;
        dialogs.queueAnswer(c.answer);
        nav.setConfirmDelete(c.confirm);
        nav.button(Button::Delete)->click();
        ASSERT_EQ(int(dialogs.messages().size()), c.questions);
        if (c.questions) {
            const auto& box = dialogs.messages()[0];
            EXPECT_EQ(box.kind, platform::MessageKind::Question);
            EXPECT_EQ(box.text, QStringLiteral("Delete record?"));
            EXPECT_EQ(box.icon, platform::MessageIcon::Question);
            EXPECT_EQ(box.buttons, platform::MessageButtons::OkCancel);
        }
        EXPECT_EQ(stored(QStringLiteral("批号")), c.left);
    }
}

TEST_F(NavigatorTest, VisibleButtonsHintsAndNames)
{
    nav.setVisibleButtons({Button::First, Button::Prior, Button::Next, Button::Last});
    EXPECT_EQ(nav.visibleButtons(), (QList<Button>{Button::First, Button::Prior, Button::Next, Button::Last}));
    nav.setHints({QStringLiteral("数据移到首行"), QStringLiteral("数据上移一行")});
    EXPECT_EQ(nav.button(Button::First)->toolTip(), QStringLiteral("数据移到首行"));
    EXPECT_EQ(nav.button(Button::Prior)->toolTip(), QStringLiteral("数据上移一行"));
    EXPECT_FALSE(nav.button(Button::Next)->toolTip().isEmpty());
    QSet<QString> names;
    for (Button b : dbui::DbNavigator::allButtons()) {
        EXPECT_FALSE(nav.button(b)->accessibleName().isEmpty());
        names.insert(nav.button(b)->objectName());
    }
    EXPECT_EQ(names.size(), dbui::DbNavigator::ButtonCount);
}

}  // namespace
