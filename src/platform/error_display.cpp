#include "platform/error_display.h"

#include "data/core/errors.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QWidget>

#include <utility>
#include <vector>

namespace platform {

namespace {

QWidget* errorBoxOwner()
{
    if (!qApp)
        return nullptr;
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

QString errorBoxCaption()
{
    return qApp ? QGuiApplication::applicationDisplayName() : QString();
}

ErrorTranslator& installedTranslator()
{
    static ErrorTranslator translator;
    return translator;
}

void showErrorReport(const ErrorReport& report)
{
    // Whatever goes wrong while reporting must not escape from here.
    try {
        dialogs().error(errorBoxOwner(), report.text, errorBoxCaption(), MessageIcon::Error, report.details);
    } catch (...) {
    }
}

}  // namespace

ErrorTranslator setErrorTranslator(ErrorTranslator translator)
{
    return std::exchange(installedTranslator(), std::move(translator));
}

QString alsoWhileEndingText()
{
    return QStringLiteral("结束这次操作、保存最后一批修改时又出了错：\n");
}

QString unknownErrorText()
{
    return QStringLiteral("发生未知错误。");
}

QString ownErrorText(const std::exception& error)
{
    if (const auto* engineError = dynamic_cast<const data::EngineError*>(&error))
        return engineError->message();
    return QString::fromUtf8(error.what());
}

ErrorReport errorReport(const std::exception& error)
{
    if (const ErrorTranslator& translator = installedTranslator()) {
        try {
            return translator(error);
        } catch (...) {
        }
    }
    return {ownErrorText(error), QString()};
}

QString errorText(const std::exception& error)
{
    return errorReport(error).text;
}

void showError(const std::exception& error)
{
    // Faults that came while this error left the code that met it (the
    // last writes of a loop it ended) are told with it, never dropped.
    const std::vector<data::EngineError> later = data::takeFaultsWhileUnwinding();
    const bool silent = dynamic_cast<const data::SilentAbort*>(&error) != nullptr;
    if (silent && later.empty())
        return;
    ErrorReport report = silent ? ErrorReport{} : errorReport(error);
    for (const data::EngineError& fault : later) {
        const ErrorReport more = errorReport(fault);
        report.text += (report.text.isEmpty() ? QString() : QStringLiteral("\n\n")) + alsoWhileEndingText() + more.text;
        if (!more.details.isEmpty())
            report.details += (report.details.isEmpty() ? QString() : QStringLiteral("\n")) + more.details;
    }
    showErrorReport(report);
}

void showCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        showError(error);
    } catch (...) {
        showErrorReport({unknownErrorText(), QString()});
    }
}

bool runGuarded(const std::function<void()>& action)
{
    try {
        action();
        return true;
    } catch (...) {
        showCurrentException();
        return false;
    }
}

}  // namespace platform
