#pragma once

#include <QString>

#include <memory>

class QTranslator;

namespace platform {

// Qt's own texts (standard buttons, the file dialog, editors' context menus)
// in Simplified Chinese, from Qt's translation catalogues. Installed into the
// application while the object lives; the program's own texts are not
// touched.
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

private:
    std::unique_ptr<QTranslator> translator_;
    bool installed_ = false;
};

}  // namespace platform
