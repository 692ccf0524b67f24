#include "dbui/db_navigator.h"

#include "dbui/data_source.h"
#include "platform/dialogs.h"
#include "platform/error_display.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace dbui {

namespace {

struct ButtonLook {
    const char* objectName;
    const char* hint;  // also what assistive tools read for the button
    QStyle::StandardPixmap icon;
    const char* text;  // when the style has no fitting icon
};

const ButtonLook& look(DbNavigator::Button which)
{
    static const ButtonLook looks[DbNavigator::ButtonCount] = {
        {"navFirst", "数据移到首行", QStyle::SP_MediaSkipBackward, "|<"},
        {"navPrior", "数据上移一行", QStyle::SP_MediaSeekBackward, "<"},
        {"navNext", "数据下移一行", QStyle::SP_MediaSeekForward, ">"},
        {"navLast", "数据移到尾行", QStyle::SP_MediaSkipForward, ">|"},
        {"navInsert", "插入一行数据", QStyle::SP_FileDialogNewFolder, "+"},
        {"navDelete", "删除一行数据", QStyle::SP_TrashIcon, "-"},
        {"navEdit", "编辑一行数据", QStyle::SP_FileDialogDetailedView, "^"},
        {"navPost", "保存数据编辑", QStyle::SP_DialogApplyButton, "\u2713"},
        {"navCancel", "取消数据编辑", QStyle::SP_DialogCancelButton, "x"},
        {"navRefresh", "刷新数据", QStyle::SP_BrowserReload, "\u21BB"},
    };
    return looks[int(which)];
}

}  // namespace

// A button shows only an icon; its hint is what a person reads about it.
void setButtonHint(QToolButton* button, const QString& hint)
{
    button->setToolTip(hint);
    button->setAccessibleName(hint);
}

QList<DbNavigator::Button> DbNavigator::allButtons()
{
    QList<Button> all;
    for (int i = 0; i < ButtonCount; ++i)
        all << Button(i);
    return all;
}

DbNavigator::DbNavigator(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("dbNavigator"));
    setAccessibleName(QStringLiteral("记录导航"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (Button which : allButtons()) {
        const ButtonLook& l = look(which);
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(l.objectName));
        setButtonHint(b, QString::fromUtf8(l.hint));
        const QIcon icon = style()->standardIcon(l.icon, nullptr, b);
        if (icon.isNull())
            b->setText(QString::fromUtf8(l.text));
        else
            b->setIcon(icon);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QToolButton::clicked, this, [this, which] { click(which); });
        layout->addWidget(b);
        buttons_[int(which)] = b;
    }
    updateButtons();
}

void DbNavigator::setDataSource(DataSource* source)
{
    if (source_ == source)
        return;
    if (source_)
        disconnect(source_, nullptr, this, nullptr);
    source_ = source;
    if (source_) {
        connect(source_, &DataSource::resultReset, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::rowInserted, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::rowRemoved, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::currentChanged, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::stateChanged, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::activeChanged, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::busyChanged, this, &DbNavigator::updateButtons);
        connect(source_, &DataSource::enabledChanged, this, &DbNavigator::updateButtons);
        connect(source_, &QObject::destroyed, this, &DbNavigator::updateButtons);
    }
    updateButtons();
}

void DbNavigator::setVisibleButtons(const QList<Button>& buttons)
{
    for (Button which : allButtons())
        buttons_[int(which)]->setVisible(buttons.contains(which));
}

QList<DbNavigator::Button> DbNavigator::visibleButtons() const
{
    QList<Button> shown;
    for (Button which : allButtons())
        if (!buttons_[int(which)]->isHidden())
            shown << which;
    return shown;
}

void DbNavigator::setHints(const QStringList& hints)
{
    for (int i = 0; i < ButtonCount && i < hints.size(); ++i)
        setButtonHint(buttons_[i], hints[i]);
}

QStringList DbNavigator::hints() const
{
    QStringList all;
    for (QToolButton* b : buttons_)
        all << b->toolTip();
    return all;
}

QToolButton* DbNavigator::button(Button which) const
{
    return buttons_[int(which)];
}

void DbNavigator::updateButtons()
{
    ::data::Query* query = source_ && source_->isActive() ? source_->query() : nullptr;
    const bool usable = query && !query->isBusy();
    const bool editing = usable && query->isEditing();
    const bool hasRecord = usable && !query->isEmpty();
    const bool canGoBack = hasRecord && !query->bof() && query->recNo() > 1;
    const bool canGoOn = hasRecord && !query->eof() && query->recNo() < query->rowCount();
    button(Button::First)->setEnabled(canGoBack);
    button(Button::Prior)->setEnabled(canGoBack);
    button(Button::Next)->setEnabled(canGoOn);
    button(Button::Last)->setEnabled(canGoOn);
    button(Button::Insert)->setEnabled(usable);
    button(Button::Delete)->setEnabled(hasRecord);
    button(Button::Edit)->setEnabled(hasRecord && !editing);
    button(Button::Post)->setEnabled(editing);
    button(Button::Cancel)->setEnabled(editing);
    button(Button::Refresh)->setEnabled(usable);
}

void DbNavigator::click(Button which)
{
    platform::runGuarded([&] { run(which); });
    updateButtons();
}

void DbNavigator::run(Button which)
{
    if (!source_ || !source_->isActive())
        return;
    ::data::Query* query = source_->query();
    // What a bound widget holds but has not written yet belongs to the record
    // before it is posted or left; cancel throws it away instead.
    if (which != Button::Cancel)
        source_->updateRecord();
    switch (which) {
    case Button::First:
        query->first();
        break;
    case Button::Prior:
        query->prior();
        break;
    case Button::Next:
        query->next();
        break;
    case Button::Last:
        query->last();
        break;
    case Button::Insert:
        query->insert();
        break;
    case Button::Delete:
        if (confirmDelete_ &&
            !platform::dialogs().question(window(), deleteQuestion(), QStringLiteral("确认"),
                                          platform::MessageIcon::Question))
            return;
        query->remove();
        break;
    case Button::Edit:
        query->edit();
        break;
    case Button::Post:
        query->post();
        break;
    case Button::Cancel:
        query->cancel();
        break;
    case Button::Refresh: {
        query->checkBrowseMode();
        const int recNo = query->recNo();
        query->open();
        if (recNo > 1)
            query->moveTo(recNo);
        break;
    }
    }
}

}  // namespace dbui
