#pragma once

#include "spreadsheet/uno_runtime.h"

#include <com/sun/star/connection/XConnection.hpp>
#include <com/sun/star/lang/XComponent.hpp>

#include <atomic>
#include <functional>
#include <optional>
#include <type_traits>

namespace spreadsheet::uno {

// One connection to an office, and the bound on every call made through it.
// Calls run on a thread of their own while the caller waits at most the bound,
// letting its windows repaint meanwhile. A call the office does not answer in
// time cuts the link: the bridge is closed, which ends the waiting call, and an
// office this program started is ended by its process id, since an office that
// does not answer is of no more use. Every later call through a cut link fails
// at once.
class OfficeLink {
public:
    OfficeLink(Reference<css::connection::XConnection> connection, Reference<css::lang::XComponent> bridge,
               qint64 officePid, int callTimeoutMs, int documentTimeoutMs);
    ~OfficeLink();
    OfficeLink(const OfficeLink&) = delete;
    OfficeLink& operator=(const OfficeLink&) = delete;

    bool isCut() const { return cut_; }

    // Runs f, which calls into the office; what it throws becomes an Error
    // that starts with `what` and names the operation.
    template <class F>
    auto call(Error::Operation operation, const QString& what, F&& f) -> decltype(f())
    {
        return bounded(callTimeoutMs_, operation, what, std::forward<F>(f));
    }

    // The same for a call that loads or stores a whole workbook, with the
    // longer bound for those.
    template <class F>
    auto callOnWholeDocument(Error::Operation operation, const QString& what, F&& f) -> decltype(f())
    {
        return bounded(documentTimeoutMs_, operation, what, std::forward<F>(f));
    }

private:
    template <class F>
    auto bounded(int timeoutMs, Error::Operation operation, const QString& what, F&& f) -> decltype(f())
    {
        using Result = decltype(f());
        if constexpr (std::is_void_v<Result>) {
            run(what, timeoutMs, [&] { guarded(operation, what, f); });
        } else {
            std::optional<Result> result;
            run(what, timeoutMs, [&] { result.emplace(guarded(operation, what, f)); });
            return std::move(*result);
        }
    }

    void run(const QString& what, int timeoutMs, const std::function<void()>& task);
    void cut();

    Reference<css::connection::XConnection> connection_;
    Reference<css::lang::XComponent> bridge_;
    qint64 officePid_;
    int callTimeoutMs_;
    int documentTimeoutMs_;
    std::atomic<bool> cut_ = false;
};

} // namespace spreadsheet::uno
