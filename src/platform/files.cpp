#include "platform/files.h"

#include "platform/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>

namespace platform {

namespace {

const char* const CodePage = "GBK";
const QByteArray Utf8ByteOrderMark("\xEF\xBB\xBF");

QString overriddenProgramFolder;

QString withTrailingSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString decodeCodePage(QByteArrayView bytes)
{
    QStringDecoder decoder(CodePage);
    if (!decoder.isValid())
        throw std::runtime_error("The GBK text codec is not available in this Qt build");
    return decoder.decode(bytes);
}

QByteArray encodeCodePage(const QString& text)
{
    QStringEncoder encoder(CodePage);
    if (!encoder.isValid())
        throw std::runtime_error("The GBK text codec is not available in this Qt build");
    return encoder.encode(text);
}

// Splits at CR LF, LF or a lone CR.
QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines << text.mid(start, i - start);
        if (c == QLatin1Char('\r') && i + 1 < size && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines << text.mid(start);
    return lines;
}

}  // namespace

FileError::FileError(const QString& message, const QString& path, Action action, int systemError)
    : std::runtime_error(message.toStdString()), message_(message), path_(path), action_(action),
      systemError_(systemError) {}

QString programFolder()
{
    if (!overriddenProgramFolder.isEmpty())
        return overriddenProgramFolder;
    // Decided once per run: the copies of shipped files are made only then.
    static const QString chosen =
        settleProgramFolder(describeProgramLayout(QCoreApplication::applicationDirPath(), userDataFolder()));
    return chosen;
}

void setProgramFolder(const QString& folder)
{
    overriddenProgramFolder = folder.isEmpty() ? QString() : withTrailingSlash(folder);
}

bool fileExists(const QString& path)
{
    return QFileInfo(path).isFile();
}

bool folderExists(const QString& path)
{
    return QFileInfo(path).isDir();
}

bool ensureFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    if (!folderExists(path))
        QDir().mkpath(path);
    return folderExists(path);
}

void createEmptyFile(const QString& path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw FileError(QStringLiteral("无法创建文件 %1：%2").arg(path, file.errorString()), path,
                        FileError::Action::Create, errno);
}

QStringList decodeTextLines(const QByteArray& bytes)
{
    // EF BB BF also begins GBK text ("锘" and one more character), so the
    // mark decides UTF-8 only when all that follows is valid UTF-8.
    if (bytes.startsWith(Utf8ByteOrderMark)) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(QByteArrayView(bytes).sliced(Utf8ByteOrderMark.size()));
        if (!utf8.hasError())
            return splitLines(text);
    }
    return splitLines(decodeCodePage(bytes));
}

QStringList readTextLines(const QString& path)
{
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()), path,
                        FileError::Action::Read, errno);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(QStringLiteral("无法读取文件 %1：%2").arg(path, file.errorString()), path,
                        FileError::Action::Read, errno);
    return decodeTextLines(bytes);
}

void writeGbkTextLines(const QString& path, const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += encodeCodePage(line) + "\r\n";
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        throw FileError(QStringLiteral("无法写入文件 %1：%2").arg(path, file.errorString()), path,
                        FileError::Action::Write, errno);
}

}  // namespace platform
