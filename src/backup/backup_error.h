#pragma once

#include <QString>

#include <stdexcept>

namespace backup {

// A backup or a restore that did not come about, told in Chinese: what
// happened, what was and was not changed, what the clerk can do. The cause
// in the words of the layer that met it is kept for support.
class BackupError : public std::runtime_error {
public:
    BackupError(const QString& text, QString cause = QString())
        : std::runtime_error(text.toStdString()), text_(text), cause_(std::move(cause)) {}

    const QString& text() const { return text_; }
    const QString& cause() const { return cause_; }
    // A disk without room for what was to be written.
    bool diskFull() const { return diskFull_; }
    BackupError& markDiskFull() {
        diskFull_ = true;
        return *this;
    }

private:
    QString text_;
    QString cause_;
    bool diskFull_ = false;
};

}  // namespace backup
