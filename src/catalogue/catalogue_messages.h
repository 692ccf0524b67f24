#pragma once

#include <QString>

// The texts the catalogue shows to the user. The confirmation of the bulk
// delete, its caption and its closing text are the ones the order window
// uses (orders/order_messages.h).
namespace catalogue {

// Shown (empty caption, information icon) when a post hits an existing model
// and colour.
inline QString duplicateModelColourMessage() { return QStringLiteral("型号颜色重复！"); }

// The caption bars of the right-hand panel.
inline QString remarkCaption() { return QStringLiteral("备注"); }
inline QString unregisteredListCaption() { return QStringLiteral("↓未登记列表↓"); }

}  // namespace catalogue
