#pragma once

#include <QString>

// Texts that the windows of several subsystems show alike.
namespace kit {

// Caption of confirmations and notices.
inline QString noticeCaption() { return QStringLiteral("提示信息"); }

// The bulk deletes of the order and sole-model windows: the question asked
// first and the closing status text.
inline QString deleteQuestion() { return QStringLiteral("你真的要删除吗？"); }
inline QString deletionFinishedText() { return QStringLiteral("删除完毕"); }

// The office could not be reached, or let go of the workbook or the sheet
// (the import and the export say these alike).
inline QString connectFailedMessage() { return QStringLiteral("与EXCEL文件连接失败!"); }
inline QString workbookFailedMessage() { return QStringLiteral("与工作簿的连接已关闭!"); }
inline QString worksheetFailedMessage() { return QStringLiteral("与工作表连接已关闭!"); }
inline QString systemNoticeCaption() { return QStringLiteral("系统提示"); }

// A command that runs at one desk at a time ("鞋底统计") is running at another.
inline QString commandBusyText(const QString& desk, const QString& command)
{
    return QStringLiteral("另一台电脑（%1）正在进行%2，请等它完成后再试。").arg(desk, command);
}

}  // namespace kit
