#include "platform/files.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

// "鞋底型号" and "白色" in GBK.
const QByteArray SoleModelGbk("\xD0\xAC\xB5\xD7\xD0\xCD\xBA\xC5");
const QByteArray WhiteGbk("\xB0\xD7\xC9\xAB");
const QByteArray Bom("\xEF\xBB\xBF");

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString writeBytes(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(FilesTest, ReadTextLinesDecodesAndSplitsLines)
{
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList lines;
    } cases[] = {
        {"GbkWithCrLf", SoleModelGbk + "\r\n" + WhiteGbk + "\r\n", {"鞋底型号", "白色"}},
        {"GbkMixedWithAscii", "A-" + SoleModelGbk + "-38\n", {"A-鞋底型号-38"}},
        {"Utf8WithByteOrderMark", Bom + "鞋底型号\r\n白色", {"鞋底型号", "白色"}},
        {"ByteOrderMarkOnly", Bom, {}},
        // GBK text beginning with "锘俊", "锘卡" or "锘开" starts with the same three bytes.
        {"GbkStartingLikeAByteOrderMark", Bom + "\xA1\r\n" + WhiteGbk, {"锘俊", "白色"}},
        {"GbkStartingWithKa", Bom + "\xA8" + SoleModelGbk + "\r\n", {"锘卡鞋底型号"}},
        {"LineFeedsOnly", "a\nb\n", {"a", "b"}},
        {"LoneCarriageReturns", "a\rb", {"a", "b"}},
        {"BlankLinesAreKept", "a\r\n\r\n\r\nb\r\n\r\n", {"a", "", "", "b", ""}},
        {"LastLineWithoutBreak", "a\r\nb", {"a", "b"}},
        {"LeadingBlankLine", "\r\nx", {"", "x"}},
        {"SpacesAreKept", " x \r\n", {" x "}},
        {"EmptyFile", "", {}},
    };
    for (const auto& c : cases) {
        const QString path = writeBytes(QString::fromLatin1(c.name) + ".txt", c.bytes);
        EXPECT_EQ(platform::readTextLines(path), c.lines) << c.name;
    }
}

TEST_F(FilesTest, ReadingAMissingFileNamesTheFile)
{
    const QString path = dir.filePath("CTMLIST.TXT");
    try {
        platform::readTextLines(path);
        FAIL() << "no error";
    } catch (const platform::FileError& error) {
        EXPECT_EQ(error.path(), path);
        EXPECT_TRUE(error.message().contains(path));
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(path));
    }
}

TEST_F(FilesTest, ReadingAFolderFails)
{
    EXPECT_THROW(platform::readTextLines(dir.path()), platform::FileError);
}

TEST_F(FilesTest, GbkWriterWritesWhatTheReaderReads)
{
    const QString path = dir.filePath("list.txt");
    platform::writeGbkTextLines(path, {"鞋底型号", "", "白色"});

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), SoleModelGbk + "\r\n\r\n" + WhiteGbk + "\r\n");
    EXPECT_EQ(platform::readTextLines(path), QStringList({"鞋底型号", "", "白色"}));
}

TEST_F(FilesTest, CreateEmptyFile)
{
    const QString path = dir.filePath("CTMLIST.TXT");
    EXPECT_FALSE(platform::fileExists(path));
    platform::createEmptyFile(path);
    EXPECT_TRUE(platform::fileExists(path));
    EXPECT_EQ(QFileInfo(path).size(), 0);
    EXPECT_EQ(platform::readTextLines(path), QStringList());

    EXPECT_THROW(platform::createEmptyFile(dir.filePath("missing/CTMLIST.TXT")), platform::FileError);
}

TEST_F(FilesTest, EnsureFolderCreatesMissingParents)
{
    const QString blocker = writeBytes("a-file", "x");
    const struct {
        QString path;
        bool exists;
    } cases[] = {
        {dir.filePath("帮助文档"), true},
        {dir.filePath("a/b/订单导入"), true},
        {dir.filePath("a/b/订单导入"), true},  // already there
        {dir.path(), true},
        {blocker + "/sub", false},
        {"", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::ensureFolder(c.path), c.exists) << c.path.toStdString();
        EXPECT_EQ(platform::folderExists(c.path), c.exists) << c.path.toStdString();
    }
    EXPECT_FALSE(platform::folderExists(blocker));
    EXPECT_TRUE(platform::fileExists(blocker));
}

TEST(ProgramFolder, IsTheProgramsFolderUnlessOverridden)
{
    const QString own = platform::programFolder();
    EXPECT_EQ(own, QCoreApplication::applicationDirPath() + "/");

    platform::setProgramFolder("/opt/tavrel");
    EXPECT_EQ(platform::programFolder(), "/opt/tavrel/");
    platform::setProgramFolder("/opt/other/");
    EXPECT_EQ(platform::programFolder(), "/opt/other/");

    platform::setProgramFolder("");
    EXPECT_EQ(platform::programFolder(), own);
}

}  // namespace
