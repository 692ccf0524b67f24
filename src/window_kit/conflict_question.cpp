#include "window_kit/conflict_question.h"

#include "data/core/schema.h"
#include "platform/dialogs.h"
#include "window_kit/shared_messages.h"

#include <QApplication>
#include <QStringList>

namespace kit {

namespace {

// How a record of each table is named to the clerk, and the fields that
// tell it from the others.
struct TableWords {
    QString fileName;
    QString record;
    QStringList keyFields;
};

const std::vector<TableWords>& tableWords()
{
    static const std::vector<TableWords> words = {
        {data::ordersTable().fileName, QStringLiteral("订单"), {QStringLiteral("批号")}},
        {data::shoesTable().fileName, QStringLiteral("鞋底型号表中的记录"),
         {QStringLiteral("鞋的型号"), QStringLiteral("颜色")}},
        {data::statisticsTable().fileName, QStringLiteral("鞋底统计表中的记录"),
         {QStringLiteral("鞋底型号"), QStringLiteral("供应商")}},
    };
    return words;
}

// A value as a line of the box shows it: long texts are cut short.
QString valueText(const QVariant& value)
{
    constexpr int Longest = 20;
    if (!value.isValid() || value.isNull())
        return QStringLiteral("（空）");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    const QString text = value.toString();
    if (text.isEmpty())
        return QStringLiteral("（空）");
    return text.size() > Longest ? text.left(Longest - 1) + QStringLiteral("…") : text;
}

// The value of a field in a row; none past its end (a record that is gone).
QVariant valueAt(const data::Row& row, qsizetype index)
{
    return index >= 0 && std::size_t(index) < row.size() ? row[std::size_t(index)] : QVariant();
}

// "尺码38" for a size field, the field's own name otherwise.
QString fieldCaption(const QString& field)
{
    return data::sizeFieldNames().contains(field) ? QStringLiteral("尺码") + field : field;
}

// "订单（批号：B001）".
QString recordWords(const data::Conflict& conflict)
{
    const QString table = conflict.table.toLower();
    for (const TableWords& words : tableWords()) {
        if (words.fileName != table)
            continue;
        QStringList key;
        for (const QString& field : words.keyFields)
            key << QStringLiteral("%1：%2").arg(field, valueText(valueAt(conflict.mine, conflict.fields.indexOf(field))));
        return QStringLiteral("%1（%2）").arg(words.record, key.join(QStringLiteral("，")));
    }
    return QStringLiteral("数据表“%1”中的记录").arg(conflict.table);
}

QString deskWords(const QString& desk)
{
    return desk.isEmpty() ? QStringLiteral("另一台电脑") : QStringLiteral("另一台电脑（%1）").arg(desk);
}

// "字段：你的值 → 对方的值" for every field that differs, at most
// ConflictFieldLines lines.
QStringList differingLines(const data::Conflict& conflict)
{
    QStringList lines;
    int differing = 0;
    for (int i = 0; i < conflict.fields.size(); ++i) {
        const QVariant mine = valueAt(conflict.mine, i);
        const QVariant theirs = valueAt(conflict.theirs, i);
        // No value and empty text are one value, as the tables keep them.
        if (mine.toString() == theirs.toString())
            continue;
        ++differing;
        if (lines.size() < ConflictFieldLines)
            lines << QStringLiteral("%1：%2 → %3").arg(fieldCaption(conflict.fields[i]), valueText(mine), valueText(theirs));
    }
    if (differing > ConflictFieldLines) {
        lines.removeLast();
        lines << QStringLiteral("……还有%1个字段不同").arg(differing - ConflictFieldLines + 1);
    }
    return lines;
}

}  // namespace

QString conflictQuestion(const data::Conflict& conflict)
{
    const QString record = recordWords(conflict);
    QStringList lines;
    if (conflict.gone()) {
        lines << (conflict.deleting ? QStringLiteral("你要删除的%1已被%2删除。")
                                    : QStringLiteral("你正在修改的%1已被%2删除。"))
                     .arg(record, deskWords(conflict.theirDesk));
        if (!conflict.deleting)
            lines << QStringLiteral("保留你的修改，就把它作为一条新记录重新保存。");
    } else {
        lines << (conflict.deleting ? QStringLiteral("你要删除的%1已被%2修改过。")
                                    : QStringLiteral("你正在修改的%1已被%2修改过。"))
                     .arg(record, deskWords(conflict.theirDesk));
        const QStringList differing = differingLines(conflict);
        if (differing.isEmpty()) {
            lines << QStringLiteral("对方保存的内容与你的相同。");
        } else {
            lines << QStringLiteral("字段：你的值 → 对方的值");
            lines << differing;
        }
    }
    lines << (conflict.deleting ? QStringLiteral("是：仍然删除") : QStringLiteral("是：保留我的修改"));
    lines << QStringLiteral("否：采用对方的内容");
    return lines.join(QLatin1Char('\n'));
}

data::ConflictChoice askClerkInConflict(const data::Conflict& conflict)
{
    const bool keepMine = platform::dialogs().choose(QApplication::activeWindow(), conflictQuestion(conflict),
                                                     noticeCaption());
    return keepMine ? data::ConflictChoice::KeepMine : data::ConflictChoice::TakeTheirs;
}

}  // namespace kit
