#pragma once

#include "window_kit/shared_messages.h"

#include <QString>

// The texts the order tools show to the user. The windows show them; the
// operations decide which one applies.
namespace orders {

// Shown (empty caption, information icon) when a post hits an existing batch number.
inline QString duplicateBatchMessage() { return QStringLiteral("批号重复!!!"); }

// Order entry refusals (error icon).
inline QString orderNumberLeadingZeroMessage() { return QStringLiteral("厂内单号不能以“0“开头！"); }
inline QString orderNumberEmptyMessage() { return QStringLiteral("厂内单号不能为空！"); }

// A batch-number list that found a different number of orders than it has lines.
inline QString wrongBatchListMessage() { return QStringLiteral("输入的批号有误！"); }

// Multiply or divide left rows with no cases untouched (information icon).
inline QString zeroCasesMessage(int skippedRows) {
    return QStringLiteral("有%1行件数为0，未作处理！").arg(skippedRows);
}

}  // namespace orders
