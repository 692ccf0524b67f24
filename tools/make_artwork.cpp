// Draws the main window picture, the toolbar icons and the program's menu
// icon (tavrel.png) and writes them into the resources folder. Run by hand after changing the drawing code:
//
//   tavrel-make-artwork [RESOURCES_DIR] [--preview DIR]
//
// --preview also writes icons.png (every icon enlarged, and at its own size on
// a toolbar background) and picture.png (the saved JPEG with the visible part
// and the hot-spot rectangles outlined) into DIR, for looking at the result.

#include "artwork.h"

#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QTextStream>

#include <cstdio>

namespace {

bool writeImage(const QImage& image, const QString& path, const char* format, int quality = -1)
{
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image)) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(writer.errorString()));
        return false;
    }
    return true;
}

bool writeIconIndex(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    QTextStream out(&file);
    out << "Toolbar image list: icon index and what the icon shows.\n"
        << "Every icon is " << artwork::IconSize << " by " << artwork::IconSize
        << " pixels; the files are made by tools/make_artwork.cpp.\n\n";
    for (int i = 0; i < artwork::IconCount; ++i)
        out << QStringLiteral("%1  %2\n").arg(i, 2, 10, QLatin1Char('0')).arg(artwork::iconMeaning(i));
    return true;
}

QImage iconSheet(const QList<QImage>& icons)
{
    const int zoom = 3;
    const int cell = artwork::IconSize * zoom + 12;
    const int columns = 7;
    const int rows = (int(icons.size()) + columns - 1) / columns;
    const int perToolbarRow = 13;
    const int toolbarRows = (int(icons.size()) + perToolbarRow - 1) / perToolbarRow;
    const int toolbarHeight = toolbarRows * (artwork::IconSize + 8) + 8;
    QImage sheet(columns * cell, rows * cell + toolbarHeight, QImage::Format_RGB32);
    sheet.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter p(&sheet);
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (int i = 0; i < icons.size(); ++i) {
        const QRect target((i % columns) * cell + 6, (i / columns) * cell + 6, artwork::IconSize * zoom,
                           artwork::IconSize * zoom);
        p.fillRect(target, Qt::white);
        p.drawImage(target, icons[i]);
        p.setPen(Qt::darkGray);
        p.drawText(target.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, QString::number(i));
    }
    for (int i = 0; i < icons.size(); ++i)
        p.drawImage(QPoint(6 + (i % perToolbarRow) * (artwork::IconSize + 6),
                           rows * cell + 6 + (i / perToolbarRow) * (artwork::IconSize + 8)),
                    icons[i]);
    return sheet;
}

QImage pictureSheet(const QString& jpegPath)
{
    QImage picture(jpegPath);
    QPainter p(&picture);
    p.setPen(QPen(Qt::red, 1, Qt::DashLine));
    p.drawRect(QRect(0, 0, 522, 274));
    p.setPen(QPen(Qt::magenta, 1));
    // Hot spots of the main window, moved from panel to picture coordinates.
    for (const QRect& spot : {QRect(80, 98, 81, 75), QRect(428, 97, 81, 75), QRect(257, 121, 73, 26)})
        p.drawRect(spot.translated(-2, -2));
    return picture;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QString outDir = QStringLiteral(TAVREL_RESOURCES_DIR);
    QString previewDir;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--preview") && i + 1 < args.size())
            previewDir = args[++i];
        else
            outDir = args[i];
    }

    const QFontInfo font{QFont(QString::fromLatin1(artwork::TextFamily))};
    if (font.family() != QLatin1String(artwork::TextFamily))
        std::fprintf(stderr, "warning: font %s not found, using %s\n", artwork::TextFamily,
                     qPrintable(font.family()));

    const QDir dir(outDir);
    if (!dir.mkpath(QStringLiteral("icons"))) {
        std::fprintf(stderr, "cannot create %s/icons\n", qPrintable(outDir));
        return 1;
    }

    const QString picturePath = dir.filePath(QStringLiteral("picture.jpg"));
    if (!writeImage(artwork::drawPicture(), picturePath, "jpeg", 90))
        return 1;

    QList<QImage> icons;
    for (int i = 0; i < artwork::IconCount; ++i) {
        icons.append(artwork::drawIcon(i));
        const QString name = QStringLiteral("icons/%1.png").arg(i, 2, 10, QLatin1Char('0'));
        if (!writeImage(icons.last(), dir.filePath(name), "png"))
            return 1;
    }
    if (!writeIconIndex(dir.filePath(QStringLiteral("icons/INDEX.txt"))))
        return 1;
    // The desktop menu's icon of the installed program.
    if (!writeImage(artwork::drawProgramIcon(256), dir.filePath(QStringLiteral("tavrel.png")), "png"))
        return 1;

    if (!previewDir.isEmpty()) {
        QDir().mkpath(previewDir);
        const QDir preview(previewDir);
        if (!writeImage(iconSheet(icons), preview.filePath(QStringLiteral("icons.png")), "png") ||
            !writeImage(pictureSheet(picturePath), preview.filePath(QStringLiteral("picture.png")), "png"))
            return 1;
    }
    std::printf("wrote %s and %d icons\n", qPrintable(picturePath), artwork::IconCount);
    return 0;
}
