#include "window_kit/progress.h"

namespace kit {

QString mainTablePrefix() { return QStringLiteral("主表共有记录"); }
QString thisTablePrefix() { return QStringLiteral("此表共有记录"); }

QString progressText(const QString& prefix, int total, int done) { return progressText(prefix, total, total - done, done); }

namespace {

// The decimal digits of n, written into one text that is allocated once:
// the loops make this text for every record.
void appendNumber(QString& text, int n) {
    char16_t digits[12];
    int at = 12;
    const bool negative = n < 0;
    unsigned int rest = negative ? 0u - unsigned(n) : unsigned(n);
    do {
        digits[--at] = char16_t(u'0' + rest % 10);
        rest /= 10;
    } while (rest != 0);
    if (negative)
        digits[--at] = u'-';
    text.append(reinterpret_cast<const QChar*>(digits + at), 12 - at);
}

}  // namespace

QString progressText(const QString& prefix, int rows, int notDone, int done) {
    QString text;
    text.reserve(prefix.size() + 48);
    text += prefix;
    appendNumber(text, rows);
    text += QStringLiteral("条:未完成:");
    appendNumber(text, notDone);
    text += QStringLiteral("@已完成:");
    appendNumber(text, done);
    return text;
}

QString Progress::text() const {
    QString text = progressText(prefix, rows, notDone, done);
    if (pairsSummed)
        text += QStringLiteral("@已求和:") + QString::number(*pairsSummed);
    return text;
}

}  // namespace kit
