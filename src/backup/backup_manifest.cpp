#include "backup/backup_manifest.h"

#include "platform/durable_files.h"
#include "platform/files.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>

namespace backup {

namespace {

struct KindName {
    Kind kind;
    const char16_t* text;
};

constexpr KindName KindNames[] = {
    {Kind::Daily, u"每日"},
    {Kind::OnClose, u"关闭时"},
    {Kind::BeforeRestore, u"恢复前"},
    {Kind::ByHand, u"手动"},
};

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

}  // namespace

QString kindText(Kind kind) {
    for (const KindName& k : KindNames)
        if (k.kind == kind)
            return QString::fromUtf16(k.text);
    return {};
}

std::optional<Kind> kindOfText(const QString& text) {
    for (const KindName& k : KindNames)
        if (text == QString::fromUtf16(k.text))
            return k.kind;
    return std::nullopt;
}

qint64 Manifest::rowsOf(const QString& fileName) const {
    for (const TableCount& t : tables)
        if (t.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return t.rows;
    return -1;
}

QString manifestFileName() { return QStringLiteral("备份说明.json"); }

void writeManifest(const QString& folder, const Manifest& manifest) {
    QJsonObject counts;
    for (const TableCount& t : manifest.tables)
        counts.insert(t.fileName, t.rows);
    const QJsonObject root{
        {QStringLiteral("时间"), manifest.time.toString(TimeFormat)},
        {QStringLiteral("种类"), kindText(manifest.kind)},
        {QStringLiteral("来源"), manifest.source},
        {QStringLiteral("记录数"), counts},
        {QStringLiteral("文件"), QJsonArray::fromStringList(manifest.files)},
        {QStringLiteral("检查"), manifest.check},
    };
    const QString path = QDir(folder).filePath(manifestFileName());
    QFile file(path);
    const QByteArray bytes = QJsonDocument(root).toJson();
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size() || !file.flush())
        throw platform::FileError(QStringLiteral("Cannot write \"%1\"").arg(path), path, platform::FileError::Action::Write,
                                  errno);
    file.close();
    platform::flushFileToDisk(path);
}

std::optional<Manifest> readManifest(const QString& folder) {
    QFile file(QDir(folder).filePath(manifestFileName()));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    Manifest m;
    m.time = QDateTime::fromString(root.value(QStringLiteral("时间")).toString(), TimeFormat);
    const std::optional<Kind> kind = kindOfText(root.value(QStringLiteral("种类")).toString());
    if (!m.time.isValid() || !kind)
        return std::nullopt;
    m.kind = *kind;
    m.source = root.value(QStringLiteral("来源")).toString();
    const QJsonObject counts = root.value(QStringLiteral("记录数")).toObject();
    for (auto it = counts.begin(); it != counts.end(); ++it)
        m.tables.push_back({it.key(), it.value().toInteger(-1)});
    for (const QJsonValue& f : root.value(QStringLiteral("文件")).toArray())
        m.files << f.toString();
    m.check = root.value(QStringLiteral("检查")).toString();
    return m;
}

}  // namespace backup
