#include "platform/qt_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <QTranslator>

namespace platform {

QStringList ChineseQtTexts::searchFolders()
{
    QStringList folders{QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                        QStringLiteral("/usr/share/qt6/translations")};
    folders.removeDuplicates();
    return folders;
}

ChineseQtTexts::ChineseQtTexts() : translator_(std::make_unique<QTranslator>())
{
    for (const QString& folder : searchFolders()) {
        if (translator_->load(QStringLiteral("qtbase_zh_CN"), folder)) {
            installed_ = QCoreApplication::installTranslator(translator_.get());
            break;
        }
    }
}

ChineseQtTexts::~ChineseQtTexts()
{
    if (installed_ && QCoreApplication::instance())
        QCoreApplication::removeTranslator(translator_.get());
}

QString ChineseQtTexts::fileName() const
{
    return installed_ ? translator_->filePath() : QString();
}

}  // namespace platform
