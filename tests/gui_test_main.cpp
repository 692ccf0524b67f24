#include "platform/application.h"
#include "platform/dialogs.h"

#include <gtest/gtest.h>

namespace {

// Installed underneath every test's own dialogs: a box nobody scripted is a
// test failure, answered with Cancel, never a window waiting for a click.
class UnscriptedDialogs : public platform::Dialogs {
protected:
    platform::MessageAnswer showMessage(const platform::MessageRequest& request) override
    {
        ADD_FAILURE() << "unscripted message box: " << request.text.toStdString();
        return platform::MessageAnswer::Cancel;
    }
    QString showFileOpen(const platform::FileOpenRequest& request) override
    {
        ADD_FAILURE() << "unscripted file dialog: " << request.title.toStdString();
        return {};
    }
};

}  // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    platform::Application app(argc, argv);
    UnscriptedDialogs unscripted;
    platform::setDialogs(&unscripted);
    const int result = RUN_ALL_TESTS();
    platform::setDialogs(nullptr);
    return result;
}
