#include "window_kit/progress.h"

namespace kit {

QString mainTablePrefix() { return QStringLiteral("主表共有记录"); }
QString thisTablePrefix() { return QStringLiteral("此表共有记录"); }

QString progressText(const QString& prefix, int total, int done) { return progressText(prefix, total, total - done, done); }

QString progressText(const QString& prefix, int rows, int notDone, int done) {
    return prefix + QString::number(rows) + QStringLiteral("条:") + QStringLiteral("未完成:") + QString::number(notDone) +
           QStringLiteral("@已完成:") + QString::number(done);
}

}  // namespace kit
