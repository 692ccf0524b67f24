#include "platform/error_display.h"

#include "data/core/errors.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QWidget>

#include <utility>

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
    if (dynamic_cast<const data::SilentAbort*>(&error))
        return;
    showErrorReport(errorReport(error));
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
