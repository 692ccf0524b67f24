#include "platform/error_display.h"

#include "data/core/errors.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using platform::MessageIcon;
using platform::ScriptedDialogs;

namespace {

struct ErrorCase {
    const char* name;
    std::function<void()> fail;
    QStringList shownTexts;  // empty: no box at all
};

void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << c.name;
}

const ErrorCase errorCases[] = {
    {"EngineErrorShowsTheEngineMessage",
     [] {
         throw data::EngineError({{0x2601, "Key violation."}, {0x2c08, "Table: dd.db"}});
     },
     {"Key violation."}},
    {"StandardErrorShowsItsText", [] { throw std::runtime_error("文件不存在"); }, {"文件不存在"}},
    {"FileErrorShowsItsText",
     [] { throw platform::FileError("无法读取文件 CTMLIST.TXT", "CTMLIST.TXT"); },
     {"无法读取文件 CTMLIST.TXT"}},
    {"SilentAbortShowsNothing", [] { throw data::SilentAbort(); }, {}},
    {"UnknownExceptionShowsTheGenericText", [] { throw 42; }, {platform::unknownErrorText()}},
};

// Throws from inside its event handler.
class ThrowingObject : public QObject {
public:
    explicit ThrowingObject(std::function<void()> fail) : fail_(std::move(fail)) {}
    int handled = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        ++handled;
        fail_();
        return true;
    }

private:
    std::function<void()> fail_;
};

class ErrorDisplay : public ::testing::TestWithParam<ErrorCase> {
protected:
    void SetUp() override
    {
        savedName_ = QGuiApplication::applicationDisplayName();
        QGuiApplication::setApplicationDisplayName("鞋底统计");
    }
    void TearDown() override { QGuiApplication::setApplicationDisplayName(savedName_); }

    void expectShown(const ScriptedDialogs& scripted)
    {
        const ErrorCase& c = GetParam();
        EXPECT_EQ(scripted.messageTexts(), c.shownTexts);
        for (const ScriptedDialogs::Message& message : scripted.messages()) {
            EXPECT_EQ(message.kind, platform::MessageKind::Error);
            EXPECT_EQ(message.icon, MessageIcon::Error);
            EXPECT_EQ(message.caption, "鞋底统计");
        }
    }

private:
    QString savedName_;
};

TEST_P(ErrorDisplay, PostedEventHandler)
{
    ScriptedDialogs scripted;
    ThrowingObject object(GetParam().fail);
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(object.handled, 1);
    expectShown(scripted);

    // The application carries on delivering events afterwards.
    scripted.clear();
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(object.handled, 2);
    EXPECT_EQ(scripted.messageTexts(), GetParam().shownTexts);
}

TEST_P(ErrorDisplay, QueuedCallAndTimer)
{
    ScriptedDialogs scripted;
    QObject context;
    QMetaObject::invokeMethod(&context, GetParam().fail, Qt::QueuedConnection);
    QCoreApplication::processEvents();
    expectShown(scripted);

    scripted.clear();
    bool fired = false;
    QTimer::singleShot(1, &context, [&] {
        fired = true;
        GetParam().fail();
    });
    while (!fired)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    expectShown(scripted);
}

TEST_P(ErrorDisplay, ButtonClickedWithTheMouse)
{
    ScriptedDialogs scripted;
    QPushButton button("统计");
    QObject::connect(&button, &QPushButton::clicked, GetParam().fail);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    expectShown(scripted);
}

TEST_P(ErrorDisplay, RunGuardedOutsideEventHandlers)
{
    ScriptedDialogs scripted;
    EXPECT_FALSE(platform::runGuarded(GetParam().fail));
    expectShown(scripted);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrorDisplay, ::testing::ValuesIn(errorCases),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// The translator installed at start-up words the box; the error's own text
// goes behind the disclosure. A translator that fails leaves the own text.
TEST(RunGuarded, ShowsTheInstalledTranslatorsWords)
{
    ScriptedDialogs scripted;
    bool translatorFails = false;
    const platform::ErrorTranslator previous = platform::setErrorTranslator([&](const std::exception& e) {
        if (translatorFails)
            throw std::logic_error("translator broke");
        return platform::ErrorReport{QStringLiteral("磁盘已满。"), QString::fromUtf8(e.what())};
    });
    platform::runGuarded([] { throw data::EngineError("database or disk is full", 13); });
    translatorFails = true;
    platform::runGuarded([] { throw data::EngineError("database or disk is full", 13); });
    platform::runGuarded([] { throw data::SilentAbort(); });
    platform::setErrorTranslator(previous);
    ASSERT_EQ(scripted.messages().size(), 2u);
    EXPECT_EQ(scripted.messages()[0].text, QStringLiteral("磁盘已满。"));
    EXPECT_EQ(scripted.messages()[0].details, QStringLiteral("database or disk is full"));
    EXPECT_EQ(scripted.messages()[1].text, QStringLiteral("database or disk is full"));
    EXPECT_TRUE(scripted.messages()[1].details.isEmpty());
}

// A fault kept while the error left a loop (its last commit failing) is told
// in the same box, after the error; after a SilentAbort it is told alone.
TEST(RunGuarded, ShowsFaultsKeptWhileTheErrorLeftTheLoop)
{
    const QString also = platform::alsoWhileEndingText();
    const struct {
        const char* name;
        std::function<void()> fail;
        QStringList kept;
        QStringList shownTexts;
    } cases[] = {
        {"error and one fault", [] { throw data::EngineError("loop broke"); }, {"commit failed"},
         {"loop broke\n\n" + also + "commit failed"}},
        {"error and two faults", [] { throw std::runtime_error("文件不存在"); }, {"first", "second"},
         {"文件不存在\n\n" + also + "first\n\n" + also + "second"}},
        {"silent abort and a fault", [] { throw data::SilentAbort(); }, {"commit failed"}, {also + "commit failed"}},
        {"silent abort alone", [] { throw data::SilentAbort(); }, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDialogs scripted;
        for (const QString& fault : c.kept)
            data::keepFaultWhileUnwinding(data::EngineError(fault));
        platform::runGuarded(c.fail);
        EXPECT_EQ(scripted.messageTexts(), c.shownTexts);
        EXPECT_TRUE(data::takeFaultsWhileUnwinding().empty());  // told once
    }
}

TEST(RunGuarded, ShowsNothingWhenTheActionSucceeds)
{
    ScriptedDialogs scripted;
    bool ran = false;
    EXPECT_TRUE(platform::runGuarded([&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(scripted.messages().empty());
}

}  // namespace
