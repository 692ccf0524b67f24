// The order import against a real LibreOffice: workbooks made through the
// spreadsheet layer, saved as .xls and .xlsx, read in by the order window.

#include "../spreadsheet/office_environment.h"
#include "orders/orders_window.h"
#include "platform/file_manager.h"
#include "program_windows_fixture.h"
#include "spreadsheet/libreoffice.h"
#include "window_kit/status_panels.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#ifdef Q_OS_LINUX
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_LINUX
// Brings an office down the way a workbook its import filter cannot cope
// with does: with a segmentation fault while it loads the workbook. The
// office makes its lock file beside a workbook when it starts loading it;
// that file's creation is the moment the signal is sent.
class CrashWhenTheOfficeLoads {
public:
    CrashWhenTheOfficeLoads(const QString& workbook, qint64 officePid) : officePid_(officePid) {
        const QFileInfo info(workbook);
        lockName_ = QFile::encodeName(QStringLiteral(".~lock.") + info.fileName() + QLatin1Char('#'));
        inotify_ = ::inotify_init1(IN_CLOEXEC);
        ::inotify_add_watch(inotify_, QFile::encodeName(info.absolutePath()).constData(), IN_CREATE);
        if (::pipe2(stop_, O_CLOEXEC) != 0)
            stop_[0] = stop_[1] = -1;
        thread_ = std::thread([this] { watch(); });
    }
    ~CrashWhenTheOfficeLoads() {
        if (stop_[1] >= 0)
            (void)::write(stop_[1], "x", 1);
        thread_.join();
        for (int fd : {inotify_, stop_[0], stop_[1]})
            if (fd >= 0)
                ::close(fd);
    }
    CrashWhenTheOfficeLoads(const CrashWhenTheOfficeLoads&) = delete;
    CrashWhenTheOfficeLoads& operator=(const CrashWhenTheOfficeLoads&) = delete;

    bool fired() const { return fired_; }

private:
    void watch() {
        alignas(inotify_event) char buffer[4096];
        pollfd fds[2] = {{inotify_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        for (;;) {
            if (::poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (fds[1].revents)
                return;
            const ssize_t length = ::read(inotify_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len && lockName_ == event->name) {
                    fired_ = ::kill(static_cast<pid_t>(officePid_), SIGSEGV) == 0;
                    return;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

    qint64 officePid_;
    QByteArray lockName_;
    int inotify_ = -1;
    int stop_[2] = {-1, -1};
    std::atomic<bool> fired_ = false;
    std::thread thread_;
};
#endif

class OfficeImport : public ProgramWindowsFixture<::testing::TestWithParam<const char*>> {
protected:
    void SetUp() override {
        ProgramWindowsFixture::SetUp();
        windows->registry().makeSpreadsheet = [] {
            return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(OfficeEnvironment::options()));
        };
        orders = windows->registry().ordersWindow;
    }
    void TearDown() override {
        if (windows->registry().spreadsheetApp)
            windows->registry().spreadsheetApp->quit();
        ProgramWindowsFixture::TearDown();
    }

    // A workbook of orders made through the layer and saved under name.
    QString makeWorkbook(const QString& name, int rows) {
        auto maker = spreadsheet::createLibreOfficeApplication(OfficeEnvironment::options());
        auto book = maker->addWorkbook();
        auto sheet = book->sheet(1);
        const QStringList heading{QStringLiteral("批号"), QStringLiteral("鞋的型号"), QStringLiteral("颜色"), QStringLiteral("件数"),
                                  QStringLiteral("双数")};
        for (int c = 0; c < heading.size(); ++c)
            sheet->setCellText(1, c + 1, heading[c]);
        for (int r = 2; r < rows + 2; ++r) {
            sheet->setCellText(r, 1, QStringLiteral("X%1").arg(r, 4, 10, QLatin1Char('0')));
            sheet->setCellText(r, 2, QStringLiteral("0805"));  // a text that looks like a number
            sheet->setCellText(r, 3, r % 2 ? QStringLiteral("zy") : QStringLiteral("黑"));
            sheet->setCellNumber(r, 4, 3);
            sheet->setCellNumber(r, 5, 999);  // replaced by the sum of the sizes
            sheet->setCellNumber(r, 9, 12);   // size 36
            sheet->setCellNumber(r, 10, r);   // size 37
            sheet->setCellText(r, 22, QStringLiteral("备注%1").arg(r));
        }
        const QString path = dir.filePath(name);
        book->saveAs(path);
        book->close();
        return path;
    }

    TaForm3DD* orders = nullptr;
    platform::RecordingFileManager files;
};

TEST_P(OfficeImport, ReadsAWorkbookAndRefusesItTheSecondTime) {
    const QString path = makeWorkbook(QStringLiteral("orders.") + QString::fromLatin1(GetParam()), 3);
    dialogs.queueFile(path);
    orders->ToolButton12Click();
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join('|').toStdString();
    EXPECT_EQ(orders->sBar->panelText(2), QStringLiteral("在第一列第4行检测到空值，数据导入已结束！"));

    data::Query q(*engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    ASSERT_EQ(q.recordCount(), 3);
    QStringList rows;
    for (q.first(); !q.eof(); q.next())
        rows << QStringList{q.field(QStringLiteral("批号")).asText(), q.field(QStringLiteral("鞋的型号")).asText(),
                            q.field(QStringLiteral("颜色")).asText(), q.field(QStringLiteral("件数")).asText(),
                            q.field(QStringLiteral("双数")).asText(), q.field(QStringLiteral("37")).asText(),
                            q.field(QStringLiteral("33")).asText(), q.field(QStringLiteral("备注")).asText()}
                    .join(' ');
    EXPECT_EQ(rows, (QStringList{QStringLiteral("X0002 0805 黑 3 14 2 0 备注2"), QStringLiteral("X0003 0805 棕油 3 15 3 0 备注3"),
                                 QStringLiteral("X0004 0805 黑 3 16 4 0 备注4")}));

    // The same file again: both messages, nothing added.
    dialogs.queueFile(path);
    orders->ToolButton12Click();
    EXPECT_EQ(dialogs.messageTexts(),
              (QStringList{QStringLiteral("批号重复!!!"), QStringLiteral("数据导入异常，请检查该行数据是否已存在！导入已强行终止。")}));
    dialogs.clear();
    q.open();
    EXPECT_EQ(q.recordCount(), 3);
}

INSTANTIATE_TEST_SUITE_P(Formats, OfficeImport, ::testing::Values("xls", "xlsx"));

// Files the office cannot read end in the workbook message at once (the
// office asks nobody anything), with nothing imported.
using OfficeImportRefusal = OfficeImport;

TEST_P(OfficeImportRefusal, EndsInTheWorkbookMessage) {
    const QString name = QString::fromLatin1(GetParam());
    QByteArray bytes;
    if (name == QLatin1String("random.xls")) {
        for (int i = 0; i < 30000; ++i)
            bytes.append(static_cast<char>((i * 7919 + (i >> 3) * 104729) % 251));
    } else if (name == QLatin1String("text.xls")) {
        bytes = QStringLiteral("批号,鞋的型号,颜色\nX0002,0805,黑\n").repeated(100).toUtf8();
    } else if (name == QLatin1String("truncated.xlsx")) {
        QFile whole(makeWorkbook(QStringLiteral("whole.xlsx"), 50));
        whole.open(QIODevice::ReadOnly);
        bytes = whole.readAll();
        bytes.truncate(bytes.size() / 2);
    }
    const QString path = programDir.filePath(name);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    dialogs.queueFile(path);
    orders->ToolButton12Click();
    const std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("与工作簿的连接已关闭!"));
    data::Query q(*engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    EXPECT_EQ(q.recordCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(HostileFiles, OfficeImportRefusal,
                         ::testing::Values("empty.xls", "random.xls", "text.xls", "truncated.xlsx"));

// A workbook that brings the office down while it is being opened ends the
// import in the workbook message, with nothing imported; the next import
// starts a fresh office and stores its rows. The office here is one of the
// test's own, so that the crash leaves the shared one alone.
using OfficeImportAfterACrash = OfficeImport;

TEST_P(OfficeImportAfterACrash, NextImportWorksWithAFreshOffice) {
#ifndef Q_OS_LINUX
    GTEST_SKIP() << "the crash is timed by the office's lock file, seen through inotify";
#else
    const QString format = QString::fromLatin1(GetParam());
    const QString crashing = makeWorkbook(QStringLiteral("crashing.") + format, 3000);
    const QString good = makeWorkbook(QStringLiteral("good.") + format, 3);
    const auto options = OfficeEnvironment::privateOptions(QStringLiteral("crash-") + format);
    registry().makeSpreadsheet = [options] {
        return std::shared_ptr<spreadsheet::Application>(spreadsheet::createLibreOfficeApplication(options));
    };
    spreadsheet::Application& office = registry().spreadsheet();
    office.connect();
    const qint64 crashedPid = office.officeProcessId();
    StartedOffice crashedOffice(crashedPid);
    ASSERT_NE(crashedPid, 0);

    {
        CrashWhenTheOfficeLoads crash(crashing, crashedPid);
        dialogs.queueFile(crashing);
        orders->ToolButton12Click();
        EXPECT_TRUE(crash.fired()) << "the office never began to load the workbook";
    }
    EXPECT_EQ(dialogs.messageTexts(), QStringList{QStringLiteral("与工作簿的连接已关闭!")});
    dialogs.clear();
    data::Query q(*engine);
    q.setSql(QStringLiteral("select * from dd.db"));
    q.open();
    EXPECT_EQ(q.recordCount(), 0);

    dialogs.queueFile(good);
    orders->ToolButton12Click();
    const qint64 freshPid = office.officeProcessId();
    StartedOffice freshOffice(freshPid);
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join('|').toStdString();
    EXPECT_EQ(orders->sBar->panelText(2), QStringLiteral("在第一列第4行检测到空值，数据导入已结束！"));
    EXPECT_NE(freshPid, 0);
    EXPECT_NE(freshPid, crashedPid);
    q.open();
    EXPECT_EQ(q.recordCount(), 3);
    office.quit();
#endif
}

INSTANTIATE_TEST_SUITE_P(Formats, OfficeImportAfterACrash, ::testing::Values("xls", "xlsx"));

}  // namespace
