#pragma once

#include <QString>
#include <QStringList>
#include <QList>

class QWidget;

namespace data {
class Store;
}

namespace kit {

// Where the tables are on a server, a desk's role may let it only read some
// of them. The commands that would change those tables are greyed out for
// good, each saying why in its tool tip.

// "这台电脑的数据库账号只能查看订单表，不能修改。"
QString mayNotChangeText(const QStringList& fileNames);

// The tables of fileNames ("dd.db") this desk may not change; none when the
// store cannot be asked now (a write then tells what it met).
QStringList tablesBarred(data::Store& store, const QStringList& fileNames);

// Keeps the control disabled whatever enables it later (the end of a bulk
// loop), with the text as its tool tip. Idempotent.
void barControl(QWidget* control, const QString& why);

// Bars the controls when the desk may not change every one of the tables.
// Returns whether it did.
bool barUnlessWritable(data::Store& store, const QStringList& fileNames, const QList<QWidget*>& controls);

}  // namespace kit
