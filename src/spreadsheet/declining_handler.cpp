#include "spreadsheet/declining_handler.h"

#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionDisapprove.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>

namespace spreadsheet::uno {

void DecliningHandler::handle(const Reference<css::task::XInteractionRequest>& request)
{
    if (!request.is())
        return;
    const css::uno::Any asked = request->getRequest();
    QString what = toQ(asked.getValueTypeName());
    css::uno::Exception exception;
    if ((asked >>= exception) && !exception.Message.isEmpty())
        what += QStringLiteral(" (%1)").arg(toQ(exception.Message).trimmed());
    {
        std::lock_guard lock(mutex_);
        declined_ << what;
    }

    Reference<css::task::XInteractionAbort> abort;
    Reference<css::task::XInteractionDisapprove> disapprove;
    for (const Reference<css::task::XInteractionContinuation>& continuation : request->getContinuations()) {
        if (!abort.is())
            abort.set(continuation, UNO_QUERY);
        if (!disapprove.is())
            disapprove.set(continuation, UNO_QUERY);
    }
    // Choosing nothing leaves the office to its default, which for some
    // questions is "yes": abort where possible, else say no.
    if (abort.is())
        abort->select();
    else if (disapprove.is())
        disapprove->select();
}

QString DecliningHandler::declined() const
{
    std::lock_guard lock(mutex_);
    return declined_.join(QStringLiteral("; "));
}

} // namespace spreadsheet::uno
