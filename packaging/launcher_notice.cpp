// tavrel-notice TEXT
//
// Shows TEXT in an error box captioned "Tavrel", with Qt's buttons in
// Chinese, for the menu launcher: started from the desktop menu it has no
// terminal, so a line on its error output would reach no one. Ends with a
// non-zero status, so that the launcher can hand over to it as its last step
// and still end unsuccessfully.
#include "platform/dialogs.h"
#include "platform/qt_texts.h"

#include <QApplication>
#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: tavrel-notice TEXT\n", stderr);
        return 2;
    }
    // Taken before QApplication, which removes the arguments it knows.
    const QString text = QString::fromLocal8Bit(argv[1]);
    QApplication application(argc, argv);
    const platform::ChineseQtTexts qtTexts;
    platform::dialogs().error(nullptr, text, QStringLiteral("Tavrel"));
    return 1;
}
