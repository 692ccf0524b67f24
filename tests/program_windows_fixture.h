#pragma once

#include "app/startup.h"
#include "data/table_fixture.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// The program's windows over real tables in a temporary folder, a program
// folder of their own, every message box answered by a script. A box the
// test does not take with takeMessages() (or clear from dialogs) fails it.
// Base is the GoogleTest fixture class (TestWithParam<...> for a
// parameterised test).
template <class Base = ::testing::Test>
class ProgramWindowsFixture : public Base, public TableFolder {
protected:
    using Message = platform::ScriptedDialogs::Message;

    void SetUp() override {
        ASSERT_TRUE(programDir.isValid());
        platform::setProgramFolder(programDir.path());
        windows = std::make_unique<app::ProgramWindows>(*engine);
    }

    void TearDown() override {
        EXPECT_EQ(dialogs.messageTexts(), QStringList()) << "message boxes the test did not expect";
        windows.reset();
        platform::setProgramFolder(QString());
    }

    kit::WindowRegistry& registry() { return windows->registry(); }

    // Shows a window as the active one and lets it lay itself out.
    static void showActive(QWidget* window) {
        window->show();
        QApplication::setActiveWindow(window);
        QApplication::processEvents();
    }

    // A toolbar left to right: the entries' object names with "|" for a
    // separator, the captions and the tool buttons. Every entry is shown and
    // every button is called what a person sees on it.
    struct ToolbarEntries {
        QString names;
        QString captions;
        QList<QToolButton*> buttons;
    };
    static ToolbarEntries toolbarEntries(QToolBar* bar) {
        ToolbarEntries entries;
        QStringList names, captions;
        for (QAction* action : bar->actions()) {
            QWidget* w = bar->widgetForAction(action);
            EXPECT_TRUE(w && w->isVisible()) << action->objectName().toStdString();
            if (!w)
                continue;
            names << (w->objectName().isEmpty() ? QStringLiteral("|") : w->objectName());
            if (auto* b = qobject_cast<QToolButton*>(w)) {
                captions << b->text();
                EXPECT_EQ(b->accessibleName(), b->text());
                entries.buttons << b;
            }
        }
        entries.names = names.join(QLatin1Char(' '));
        entries.captions = captions.join(QLatin1Char(','));
        return entries;
    }

    // A click delivered as the user's would be: through the application
    // object, which shows whatever escapes the handler.
    static void click(QWidget* target) {
        ASSERT_TRUE(target);
        ASSERT_TRUE(target->isVisible()) << target->objectName().toStdString();
        QTest::mouseClick(target, Qt::LeftButton, {}, QPoint(8, target->height() / 2));
    }

    // The boxes shown since the last call; they count as expected.
    std::vector<Message> takeMessages() {
        std::vector<Message> shown = dialogs.messages();
        dialogs.clear();
        return shown;
    }

    // Takes the boxes shown and checks that they were this one box.
    void expectOneBox(const QString& text, const QString& caption, platform::MessageIcon icon, platform::MessageButtons buttons) {
        const std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].caption, caption);
        EXPECT_EQ(shown[0].icon, icon);
        EXPECT_EQ(shown[0].buttons, buttons);
    }

    QTemporaryDir programDir;
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<app::ProgramWindows> windows;
};

using ProgramWindowsTest = ProgramWindowsFixture<>;
