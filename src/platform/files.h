#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace platform {

// A file that could not be read or written. The text names the file; the
// system's error number (errno, 0 when unknown) says why.
class FileError : public std::runtime_error {
public:
    enum class Action { Read, Write, Create, Copy };

    FileError(const QString& message, const QString& path, Action action = Action::Read, int systemError = 0);

    const QString& message() const { return message_; }
    const QString& path() const { return path_; }
    Action action() const { return action_; }
    int systemError() const { return systemError_; }

private:
    QString message_;
    QString path_;
    Action action_;
    int systemError_;
};

// The folder of the files and folders kept beside the program file, ending
// in '/': the program's own folder when it can be written, the user's data
// folder for an installed program (see program_folder.h).
QString programFolder();
// Makes programFolder() return the given folder instead (a trailing '/' is
// added when missing); an empty path goes back to the program's own folder.
void setProgramFolder(const QString& folder);

bool fileExists(const QString& path);
bool folderExists(const QString& path);

// Creates the folder together with any missing parent folders; true when the
// folder exists afterwards.
bool ensureFolder(const QString& path);

// Creates an empty file, replacing any content; throws FileError on failure.
void createEmptyFile(const QString& path);

// The lines of a text file in the program's code page (GBK), or in UTF-8 when
// the file starts with the UTF-8 byte-order mark and the rest of it is valid
// UTF-8. Lines come without their
// CR/LF; blank lines are kept; a final line break adds no empty line.
// Throws FileError when the file cannot be read.
QStringList readTextLines(const QString& path);

// Writes the lines in GBK, each ended by CR LF; throws FileError on failure.
void writeGbkTextLines(const QString& path, const QStringList& lines);

// Decodes bytes the way readTextLines() does and splits them into lines.
QStringList decodeTextLines(const QByteArray& bytes);

}  // namespace platform
