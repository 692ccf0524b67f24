#pragma once

#include <QString>

namespace kit {

// Where the bulk loops report. The order window passes its status bar; the
// panels are numbered from 0, the progress goes into the third (2).
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void setPanelText(int panel, const QString& text) = 0;
    // Called once per row of the loops that keep the windows responsive.
    virtual void letEventsRun() = 0;
};

inline constexpr int CountPanel = 1;
inline constexpr int ProgressPanel = 2;

// Prefixes of the progress text.
QString mainTablePrefix();  // "主表共有记录", size runs
QString thisTablePrefix();  // "此表共有记录", mark counted and delete

// prefix + total + "条:" + "未完成:" + (total - done) + "@已完成:" + done,
// e.g. 主表共有记录5条:未完成:3@已完成:2.
QString progressText(const QString& prefix, int total, int done);
// The same text with the number not yet done given apart (the delete loop
// counts the rows left in the result, not the rows at the start).
QString progressText(const QString& prefix, int rows, int notDone, int done);

}  // namespace kit
