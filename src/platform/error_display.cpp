#include "platform/error_display.h"

#include "data/errors.h"
#include "platform/dialogs.h"

#include <QApplication>
#include <QWidget>

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

void showErrorText(const QString& text)
{
    // Whatever goes wrong while reporting must not escape from here.
    try {
        dialogs().error(errorBoxOwner(), text, errorBoxCaption());
    } catch (...) {
    }
}

}  // namespace

QString unknownErrorText()
{
    return QStringLiteral("发生未知错误。");
}

QString errorText(const std::exception& error)
{
    if (const auto* engineError = dynamic_cast<const data::EngineError*>(&error))
        return engineError->message();
    return QString::fromUtf8(error.what());
}

void showError(const std::exception& error)
{
    if (dynamic_cast<const data::SilentAbort*>(&error))
        return;
    showErrorText(errorText(error));
}

void showCurrentException()
{
    try {
        throw;
    } catch (const std::exception& error) {
        showError(error);
    } catch (...) {
        showErrorText(unknownErrorText());
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
