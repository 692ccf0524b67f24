#pragma once

#include <QLocale>
#include <QString>

#include <memory>

class QTranslator;

namespace platform {

// Qt's own texts (standard buttons, the file dialog, editors' context menus)
// in Simplified Chinese, from Qt's translation catalogues, with the few texts
// Qt's catalogue lacks supplied by our own (see supplementText()). Installed
// into the application while the object lives, together with the Chinese
// locale for dates and numbers that Qt formats itself (the file dialog's
// dates); the program's own texts are not touched.
class ChineseQtTexts {
public:
    ChineseQtTexts();
    ~ChineseQtTexts();
    ChineseQtTexts(const ChineseQtTexts&) = delete;
    ChineseQtTexts& operator=(const ChineseQtTexts&) = delete;

    // Whether the catalogue was found and installed.
    bool installed() const { return installed_; }
    // The catalogue file that was loaded, or empty.
    QString fileName() const;

    // Folders searched for "qtbase_zh_CN.qm", in order: Qt's own translation
    // folder, then the usual system folders.
    static QStringList searchFolders();

    // Our Chinese for a Qt text that Qt's catalogue leaves in English, or
    // an empty string.
    static QString supplementText(const char* context, const char* sourceText);

private:
    std::unique_ptr<QTranslator> translator_;
    std::unique_ptr<QTranslator> supplement_;
    QLocale previousLocale_;
    bool installed_ = false;
};

}  // namespace platform
