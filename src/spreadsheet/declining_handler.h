#pragma once

#include "spreadsheet/uno_runtime.h"

#include <com/sun/star/task/XInteractionHandler.hpp>
#include <cppuhelper/implbase1.hxx>

#include <QStringList>

#include <mutex>

namespace spreadsheet::uno {

// Answers every question the office would put to the user while it loads a
// document (a password, whether to repair a damaged file, text import
// settings, macros, links) with "no": the load then fails at once instead of
// waiting on a dialog nobody sees. What was asked is kept for the error text.
// (The SDK installed here has only the numbered helper templates.)
class DecliningHandler : public cppu::WeakImplHelper1<css::task::XInteractionHandler> {
public:
    void SAL_CALL handle(const Reference<css::task::XInteractionRequest>& request) override;

    // The questions declined so far, as the office names them, "; " between.
    QString declined() const;

private:
    mutable std::mutex mutex_;
    QStringList declined_;
};

} // namespace spreadsheet::uno
