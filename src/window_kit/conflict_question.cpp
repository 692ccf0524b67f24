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

// Lines of at most ConflictFieldLines, the rest counted.
QStringList capped(const QStringList& lines)
{
    if (lines.size() <= ConflictFieldLines)
        return lines;
    QStringList shown = lines.mid(0, ConflictFieldLines - 1);
    shown << QStringLiteral("……还有%1个字段不同").arg(lines.size() - ConflictFieldLines + 1);
    return shown;
}

// "字段：你的值 → 对方的值" for every field that differs, where the record
// as this desk read it is not known.
QStringList differingLines(const data::Conflict& conflict)
{
    QStringList lines;
    for (int i = 0; i < conflict.fields.size(); ++i) {
        const QVariant mine = valueAt(conflict.mine, i);
        const QVariant theirs = valueAt(conflict.theirs, i);
        if (!data::sameValue(mine, theirs))
            lines << QStringLiteral("%1：%2 → %3").arg(fieldCaption(conflict.fields[i]), valueText(mine), valueText(theirs));
    }
    return capped(lines);
}

// For each contested field, the value read and what the other desk stored;
// of a change, also what this desk stored.
QStringList contestedLines(const data::Conflict& conflict)
{
    QStringList lines;
    for (int i : conflict.contested) {
        QString line = QStringLiteral("%1：%2 → %3")
                           .arg(fieldCaption(conflict.fields.value(i)), valueText(valueAt(conflict.asRead, i)),
                                valueText(valueAt(conflict.theirs, i)));
        if (!conflict.deleting)
            line += QStringLiteral(" / ") + valueText(valueAt(conflict.mine, i));
        lines << line;
    }
    return capped(lines);
}

QStringList answerLines(const data::Conflict& conflict)
{
    if (!conflict.bulk)
        return {conflict.deleting ? QStringLiteral("是：仍然删除") : QStringLiteral("是：保留我的修改"),
                QStringLiteral("否：采用对方的内容")};
    return {QStringLiteral("这次操作中别的记录再遇到这种情况，都按你现在的选择处理。"),
            conflict.deleting ? QStringLiteral("是：全部仍然删除") : QStringLiteral("是：全部保留我的修改"),
            QStringLiteral("否：全部采用对方的内容"),
            QStringLiteral("取消：在这里停止这次操作，已经保存的修改保留")};
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
        if (!conflict.contested.empty() && !conflict.asRead.empty()) {
            lines << (conflict.deleting ? QStringLiteral("字段：原来的值 → 对方的值")
                                        : QStringLiteral("字段：原来的值 → 对方的值 / 你的值"));
            lines << contestedLines(conflict);
        } else if (const QStringList differing = differingLines(conflict); differing.isEmpty()) {
            lines << QStringLiteral("对方保存的内容与你的相同。");
        } else {
            lines << QStringLiteral("字段：你的值 → 对方的值");
            lines << differing;
        }
    }
    lines << answerLines(conflict);
    return lines.join(QLatin1Char('\n'));
}

data::ConflictChoice askClerkInConflict(const data::Conflict& conflict)
{
    QWidget* owner = QApplication::activeWindow();
    if (!conflict.bulk)
        return platform::dialogs().choose(owner, conflictQuestion(conflict), noticeCaption())
                   ? data::ConflictChoice::KeepMine
                   : data::ConflictChoice::TakeTheirs;
    switch (platform::dialogs().chooseOrCancel(owner, conflictQuestion(conflict), noticeCaption())) {
    case platform::MessageAnswer::Yes: return data::ConflictChoice::KeepMine;
    case platform::MessageAnswer::No: return data::ConflictChoice::TakeTheirs;
    case platform::MessageAnswer::Cancel: break;
    }
    return data::ConflictChoice::Stop;
}

}  // namespace kit
