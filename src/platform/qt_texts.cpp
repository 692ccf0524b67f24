#include "platform/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace platform {

namespace {

struct SupplementEntry {
    const char* context;
    const char* source;
    const char* chinese;
};

// Texts of the Qt dialogs the program shows that Qt's Chinese catalogue
// lacks or words otherwise than the program does.
const SupplementEntry Supplement[] = {
    {"QAbstractFileIconProvider", "Folder", "文件夹"},
    {"QAbstractFileIconProvider", "Drive", "驱动器"},
    {"QAbstractFileIconProvider", "Unknown", "未知"},
    {"QShortcut", "Control", "Ctrl"},
    // The message box's disclosure of an error's detail.
    {"QMessageBox", "Show Details...", "详细信息..."},
    {"QMessageBox", "Hide Details...", "隐藏详细信息..."},
};

class SupplementTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        return ChineseQtTexts::supplementText(context, sourceText);
    }
};

}  // namespace

QString ChineseQtTexts::supplementText(const char* context, const char* sourceText)
{
    if (!context || !sourceText)
        return {};
    for (const SupplementEntry& entry : Supplement)
        if (qstrcmp(entry.context, context) == 0 && qstrcmp(entry.source, sourceText) == 0)
            return QString::fromUtf8(entry.chinese);
    return {};
}

QStringList ChineseQtTexts::searchFolders()
{
    QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                        QStringLiteral("/usr/share/qt6/translations")};
    folders.removeDuplicates();
    return folders;
}

ChineseQtTexts::ChineseQtTexts()
    : translator_(std::make_unique<QTranslator>()), supplement_(std::make_unique<SupplementTranslator>())
{
    for (const QString& folder : searchFolders()) {
        if (translator_->load(QStringLiteral("qtbase_zh_CN"), folder)) {
            installed_ = QCoreApplication::installTranslator(translator_.get());
            break;
        }
    }
    // Installed last, so asked first.
    QCoreApplication::installTranslator(supplement_.get());
    previousLocale_ = QLocale();
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
}

ChineseQtTexts::~ChineseQtTexts()
{
    QLocale::setDefault(previousLocale_);
    if (!QCoreApplication::instance())
        return;
    QCoreApplication::removeTranslator(supplement_.get());
    if (installed_)
        QCoreApplication::removeTranslator(translator_.get());
}

QString ChineseQtTexts::fileName() const
{
    return installed_ ? translator_->filePath() : QString();
}

}  // namespace platform
