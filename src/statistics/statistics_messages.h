#pragma once

#include <QString>

// The texts of the statistics window and its operations.
namespace statistics {

// Written into an order's supplier and sole model when the catalogue has no
// row for its shoe model and colour.
inline QString unregisteredText() { return QStringLiteral("未登记"); }

// Asked before the statistics are rebuilt (caption kit::noticeCaption()).
inline QString scanQuestion() { return QStringLiteral("你真的要扫描统计吗？"); }

// The catalogue's and the statistics table's statements when nothing is looked up.
inline QString catalogueStatement() { return QStringLiteral("select * from shoes.db"); }
inline QString statisticsStatement() { return QStringLiteral("select * from xdtj.db"); }
// The statement the aggregation leaves the statistics query with.
inline QString finalStatisticsStatement() { return QStringLiteral("select * from XdTJ.db"); }

}  // namespace statistics
