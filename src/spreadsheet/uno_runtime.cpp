#include "spreadsheet/uno_runtime.h"

#include "platform/process.h"

#include <cppuhelper/bootstrap.hxx>
#include <rtl/bootstrap.hxx>

#include <QFileInfo>
#include <QUrl>

#include <mutex>

namespace spreadsheet::uno {

Reference<css::uno::XComponentContext> localContext()
{
    static std::once_flag once;
    static Reference<css::uno::XComponentContext> context;
    static QString failure;
    std::call_once(once, [] {
        // The office may be closed while connected; the pipe to it must then
        // fail with an error, not end this process.
        platform::ignoreBrokenPipes();
        try {
            const QString program = QUrl::fromLocalFile(QStringLiteral(LIBREOFFICE_PROGRAM_DIR)).toString();
            // The office's own unorc names types.rdb and services.rdb beside
            // it and leaves room for more types: the office API (offapi.rdb)
            // is added there, so that calls on documents can be bridged.
            rtl::Bootstrap::set(OUString("URE_MORE_TYPES"), toOU(program + QStringLiteral("/types/offapi.rdb")));
            context = cppu::defaultBootstrap_InitialComponentContext(toOU(program + QStringLiteral("/unorc")));
        } catch (const css::uno::Exception& e) {
            failure = toQ(e.Message);
        }
    });
    if (!context.is())
        throw Error(QStringLiteral("LibreOffice runtime could not be started: %1").arg(failure),
                    Error::Operation::Connect);
    return context;
}

OUString fileUrl(const QString& path)
{
    return toOU(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

QString localPath(const OUString& url)
{
    const QUrl u(toQ(url));
    return u.isLocalFile() ? u.toLocalFile() : QString();
}

void throwError(Error::Operation operation, const QString& what, const css::uno::Exception& e)
{
    const QString detail = toQ(e.Message).trimmed();
    throw Error(detail.isEmpty() ? what : QStringLiteral("%1: %2").arg(what, detail), operation);
}

void throwConnectionLost(const QString& what)
{
    throw Error(QStringLiteral("%1: the workbook was closed or LibreOffice has gone").arg(what),
                Error::Operation::Gone);
}

} // namespace spreadsheet::uno
