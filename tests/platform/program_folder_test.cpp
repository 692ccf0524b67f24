#include "platform/files.h"
#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using platform::ProgramLayout;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

TEST(ChooseProgramFolder, BesideTheProgramOnlyInAWritableUnpackedBuild)
{
    const struct {
        const char* what;
        ProgramLayout layout;
        const char* expected;
    } cases[] = {
        {"unpacked build", {"/home/ann/tavrel/build/src/app/", true, "", "/home/ann/.local/share/Tavrel/"},
         "/home/ann/tavrel/build/src/app/"},
        {"folder nobody may write", {"/opt/tavrel/", false, "", "/home/ann/.local/share/Tavrel/"},
         "/home/ann/.local/share/Tavrel/"},
        {"system install", {"/usr/bin/", false, "/usr/share/tavrel/", "/home/ann/.local/share/Tavrel/"},
         "/home/ann/.local/share/Tavrel/"},
        {"installed tree the user may write",
         {"/home/ann/root/usr/bin/", true, "/home/ann/root/usr/share/tavrel/", "/home/ann/.local/share/Tavrel/"},
         "/home/ann/.local/share/Tavrel/"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::chooseProgramFolder(c.layout), QString::fromLatin1(c.expected)) << c.what;
}

TEST(DescribeProgramLayout, RecognisesAnInstalledTreeByItsSharedFolder)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    for (const char* folder : {"build/src/app", "usr/bin", "usr/share/tavrel", "lonely/bin", "odd/app", "odd/share/tavrel"})
        ASSERT_TRUE(QDir(root.path()).mkpath(QString::fromLatin1(folder)));
    const struct {
        const char* programDir;
        const char* sharedDir;  // relative to the root; empty: not installed
    } cases[] = {
        {"build/src/app", ""},
        {"usr/bin", "usr/share/tavrel/"},
        {"usr/bin/", "usr/share/tavrel/"},
        {"lonely/bin", ""},  // no shared folder beside it
        {"odd/app", ""},     // not a bin folder
    };
    for (const auto& c : cases) {
        const ProgramLayout layout =
            platform::describeProgramLayout(root.filePath(QString::fromLatin1(c.programDir)), "/home/ann/data");
        const QString expectedShared =
            *c.sharedDir ? root.filePath(QString::fromLatin1(c.sharedDir)) : QString();
        EXPECT_EQ(layout.sharedDir, expectedShared) << c.programDir;
        EXPECT_TRUE(layout.programDir.endsWith('/')) << c.programDir;
        EXPECT_TRUE(layout.programDirWritable) << c.programDir;
        EXPECT_EQ(layout.userDataDir, "/home/ann/data/");
    }
    EXPECT_FALSE(platform::describeProgramLayout(root.filePath("missing"), "/x").programDirWritable);
}

TEST(SettleProgramFolder, CopiesShippedFilesButNeverOverTheUsersOwn)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir r(root.path());
    ASSERT_TRUE(r.mkpath("usr/bin"));
    writeFile(r.filePath("usr/share/tavrel/打印/鞋底打印.xls"), "shipped template");
    writeFile(r.filePath("usr/share/tavrel/帮助文档/说明.txt"), "shipped help");
    const QString home = r.filePath("home/.local/share/Tavrel");
    const ProgramLayout layout = platform::describeProgramLayout(r.filePath("usr/bin"), home);

    // First start: the user's folder is made and the shipped files land in it.
    EXPECT_EQ(platform::settleProgramFolder(layout), home + "/");
    EXPECT_EQ(readFile(home + "/打印/鞋底打印.xls"), "shipped template");
    EXPECT_EQ(readFile(home + "/帮助文档/说明.txt"), "shipped help");
    EXPECT_TRUE(QFileInfo(home + "/打印/鞋底打印.xls").isWritable());

    // The user changes the template and removes the help file; a later start
    // keeps the changed template and only brings back what is missing.
    writeFile(home + "/打印/鞋底打印.xls", "the user's own template");
    ASSERT_TRUE(QFile::remove(home + "/帮助文档/说明.txt"));
    EXPECT_EQ(platform::copyMissingFiles(layout.sharedDir, home), QStringList{"帮助文档/说明.txt"});
    EXPECT_EQ(readFile(home + "/打印/鞋底打印.xls"), "the user's own template");
    EXPECT_EQ(platform::copyMissingFiles(layout.sharedDir, home), QStringList());
}

TEST(SettleProgramFolder, LeavesAnUnpackedBuildAlone)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir r(root.path());
    ASSERT_TRUE(r.mkpath("build/src/app"));
    const QString home = r.filePath("home/Tavrel");
    const ProgramLayout layout = platform::describeProgramLayout(r.filePath("build/src/app"), home);
    EXPECT_EQ(platform::settleProgramFolder(layout), r.filePath("build/src/app") + "/");
    EXPECT_FALSE(QFileInfo::exists(home));
}

TEST(SettleProgramFolder, ReportsACopyThatFails)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QDir r(root.path());
    writeFile(r.filePath("share/打印/鞋底打印.xls"), "shipped");
    writeFile(r.filePath("user/打印"), "a file where the folder should be");
    EXPECT_THROW(platform::copyMissingFiles(r.filePath("share"), r.filePath("user")), platform::FileError);
}

TEST(UserDataFolder, IsTavrelInTheDesktopsDataFolder)
{
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", "/tmp/tavrel-test-data");
    EXPECT_EQ(platform::userDataFolder(), "/tmp/tavrel-test-data/Tavrel/");
    if (saved.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", saved);
}

}  // namespace
