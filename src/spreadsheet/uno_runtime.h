#pragma once

// Shared helpers of the UNO implementation files. Only the implementation
// includes this header; it brings in the UNO headers.

#include "spreadsheet/error.h"

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include <QString>

namespace spreadsheet::uno {

namespace css = ::com::sun::star;
using ::rtl::OUString;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

// The component context of this process, bootstrapped once with the office's
// type libraries (the URE types and the office API types) and the URE
// services (URL resolver, pipe connector, bridge).
Reference<css::uno::XComponentContext> localContext();

inline OUString toOU(const QString& s)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), s.size());
}

inline QString toQ(const OUString& s)
{
    return QString(reinterpret_cast<const QChar*>(s.getStr()), s.getLength());
}

// file:// URL of a local path, absolute.
OUString fileUrl(const QString& path);
QString localPath(const OUString& url);

[[noreturn]] void throwError(Error::Operation operation, const QString& what, const css::uno::Exception& e);
[[noreturn]] void throwConnectionLost(const QString& what);

// Runs f; a UNO exception becomes an Error whose text starts with `what`.
// Calls into the office go through OfficeLink::call, which also bounds them.
template <class F>
auto guarded(Error::Operation operation, const QString& what, F&& f) -> decltype(f())
{
    try {
        return f();
    } catch (const css::lang::DisposedException&) {
        throwConnectionLost(what);
    } catch (const css::uno::Exception& e) {
        throwError(operation, what, e);
    }
}

} // namespace spreadsheet::uno
