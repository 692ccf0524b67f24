#include "platform/file_manager.h"

#include <gtest/gtest.h>

namespace {

TEST(FileManager, RecordingDoubleSeesEveryFolderAndIsRemovedAfterwards)
{
    platform::FileManager* before = &platform::fileManager();
    {
        platform::RecordingFileManager recording;
        EXPECT_EQ(&platform::fileManager(), &recording);
        platform::openFolderInFileManager("/opt/tavrel/帮助文档");
        platform::openFolderInFileManager("/opt/tavrel/订单导入");
        EXPECT_EQ(recording.openedFolders(),
                  QStringList({"/opt/tavrel/帮助文档", "/opt/tavrel/订单导入"}));
    }
    EXPECT_EQ(&platform::fileManager(), before);
}

}  // namespace
