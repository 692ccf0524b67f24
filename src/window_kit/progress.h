#pragma once

#include <QString>

#include <optional>

namespace kit {

inline constexpr int CountPanel = 1;
inline constexpr int ProgressPanel = 2;

// How far a loop has come, as figures: the text is made from them only when
// a sink shows it (a loop reports every record, a window shows a few of them).
struct Progress {
    // prefix + rows + "条:" + "未完成:" + notDone + "@已完成:" + done, then
    // "@已求和:" + the pairs summed where a loop sums them.
    QString text() const;

    // Of `total` records, `done` are done.
    static Progress of(const QString& prefix, int total, int done) { return {prefix, total, total - done, done, {}}; }

    QString prefix;
    int rows = 0;
    int notDone = 0;
    int done = 0;
    std::optional<qint64> pairsSummed;
};

// Where the bulk loops report. The order window passes its status bar; the
// panels are numbered from 0, the progress goes into the third (2).
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void setPanelText(int panel, const QString& text) = 0;
    // The progress panel's text, given as figures.
    virtual void setProgress(const Progress& progress) { setPanelText(ProgressPanel, progress.text()); }
    // Called once per row of the loops that keep the windows responsive.
    virtual void letEventsRun() = 0;
};

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
