// The toolbar icons: flat, rounded glyphs on a 30 by 30 canvas, drawn with a
// small palette (slate ink, paper white and five accent colours).

#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <QtMath>

#include <array>

namespace artwork {
namespace {

const QColor Ink(0x3d, 0x4b, 0x5c);
const QColor InkLight(0x9a, 0xa7, 0xb5);
const QColor Paper(0xff, 0xff, 0xff);
const QColor PaperShade(0xe4, 0xec, 0xf5);
const QColor Blue(0x3b, 0x7d, 0xd8);
const QColor Teal(0x1f, 0xa3, 0x8c);
const QColor Amber(0xf0, 0xa2, 0x3a);
const QColor Red(0xdc, 0x4b, 0x4b);
const QColor Green(0x3c, 0xa8, 0x55);

QPen pen(const QColor& colour, qreal width = 1.5)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// Fills a shape in an accent colour, outlined in a darker shade of it.
void fill(QPainter& p, const QPainterPath& shape, const QColor& colour)
{
    p.setPen(pen(colour.darker(125), 1.2));
    p.setBrush(colour);
    p.drawPath(shape);
}

QPainterPath roundRect(qreal x, qreal y, qreal w, qreal h, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(x, y, w, h), radius, radius);
    return path;
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// A sheet of paper with a folded top-right corner.
void sheet(QPainter& p, const QRectF& r, bool withLines)
{
    const qreal fold = 5;
    QPainterPath page = polygon({r.topLeft(), QPointF(r.right() - fold, r.top()), QPointF(r.right(), r.top() + fold),
                                 r.bottomRight(), r.bottomLeft()});
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawPath(page);
    p.setBrush(PaperShade);
    p.drawPath(polygon({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                        QPointF(r.right(), r.top() + fold)}));
    if (withLines) {
        p.setPen(pen(InkLight, 1.5));
        for (qreal y = r.top() + 8; y < r.bottom() - 3; y += 4)
            p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    }
}

void arrowHead(QPainter& p, QPointF tip, QPointF direction, qreal size, const QColor& colour)
{
    const QPointF dir = direction / std::hypot(direction.x(), direction.y());
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = tip - dir * size;
    p.setPen(pen(colour, 1.2));
    p.setBrush(colour);
    p.drawPath(polygon({tip, base + normal * size * 0.75, base - normal * size * 0.75}));
}

// A straight arrow with a rounded shaft.
void arrow(QPainter& p, QPointF from, QPointF to, const QColor& colour)
{
    const QPointF dir = to - from;
    const qreal length = std::hypot(dir.x(), dir.y());
    p.setPen(pen(colour, 3));
    p.drawLine(from, to - dir / length * 5);
    arrowHead(p, to, dir, 7, colour);
}

void folderBack(QPainter& p)
{
    const QColor back = Amber.darker(112);
    QPainterPath shape = roundRect(3, 6, 10, 6, 1.5).united(roundRect(3, 8, 24, 18, 2));
    fill(p, shape, back);
}

void openFolder(QPainter& p)
{
    folderBack(p);
    p.setPen(pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawRect(QRectF(6.5, 10.5, 17, 10));
    fill(p, polygon({QPointF(8, 14), QPointF(28, 14), QPointF(24.5, 26), QPointF(3, 26)}), Amber.lighter(112));
}

void floppy(QPainter& p)
{
    fill(p, roundRect(4, 4, 22, 22, 3), Blue);
    p.setPen(Qt::NoPen);
    p.setBrush(PaperShade);
    p.drawRect(QRectF(9, 4.6, 12, 7.5));
    p.setBrush(Ink);
    p.drawRect(QRectF(16.5, 6, 2.5, 4.5));
    p.setPen(pen(Ink, 1));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(8, 15, 14, 9.5), 1, 1);
    p.setPen(pen(InkLight, 1.2));
    p.drawLine(QPointF(10.5, 18.5), QPointF(19.5, 18.5));
    p.drawLine(QPointF(10.5, 21.5), QPointF(19.5, 21.5));
}

void printer(QPainter& p, qreal scale, QPointF offset)
{
    p.save();
    p.translate(offset);
    p.scale(scale, scale);
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRect(QRectF(9, 3.5, 12, 8));
    fill(p, roundRect(3, 10, 24, 11, 3), Ink);
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRect(QRectF(8, 17, 14, 9.5));
    p.setPen(pen(InkLight, 1.4));
    p.drawLine(QPointF(10.5, 20.5), QPointF(19.5, 20.5));
    p.drawLine(QPointF(10.5, 23.5), QPointF(17, 23.5));
    p.setPen(Qt::NoPen);
    p.setBrush(Green.lighter(130));
    p.drawEllipse(QPointF(23, 13.5), 1.4, 1.4);
    p.restore();
}

void printDocument(QPainter& p)
{
    sheet(p, QRectF(4.5, 2.5, 17, 22), true);
    p.setPen(pen(Paper, 3));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(13, 14, 16, 15), 3, 3);
    printer(p, 0.58, QPointF(12.5, 13.5));
}

void barChart(QPainter& p)
{
    p.setPen(Qt::NoPen);
    const std::array<std::pair<QRectF, QColor>, 3> bars = {{
        {QRectF(8.5, 15, 5, 9.5), Teal},
        {QRectF(15, 9, 5, 15.5), Blue},
        {QRectF(21.5, 4, 5, 20.5), Amber},
    }};
    for (const auto& [rect, colour] : bars)
        fill(p, roundRect(rect.x(), rect.y(), rect.width(), rect.height() + 2, 1.5), colour);
    p.setPen(pen(Ink, 2));
    p.drawLine(QPointF(5, 4), QPointF(5, 25.5));
    p.drawLine(QPointF(5, 25.5), QPointF(27.5, 25.5));
}

void cross(QPainter& p)
{
    p.setPen(pen(Red.darker(120), 6.5));
    p.drawLine(QPointF(8, 8), QPointF(22, 22));
    p.drawLine(QPointF(22, 8), QPointF(8, 22));
    p.setPen(pen(Red, 4.5));
    p.drawLine(QPointF(8, 8), QPointF(22, 22));
    p.drawLine(QPointF(22, 8), QPointF(8, 22));
}

void smallTable(QPainter& p, const QRectF& r, const QColor& header)
{
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(header);
    p.drawRect(QRectF(r.left() + 0.7, r.top() + 0.7, r.width() - 1.4, 4.5));
    p.setPen(pen(InkLight, 1));
    for (qreal y = r.top() + 9.5; y < r.bottom() - 1; y += 4.5)
        p.drawLine(QPointF(r.left() + 1, y), QPointF(r.right() - 1, y));
    const qreal split = r.left() + r.width() * 0.4;
    p.drawLine(QPointF(split, r.top() + 5.5), QPointF(split, r.bottom() - 1));
}

void plusBadge(QPainter& p, QPointF centre)
{
    p.setPen(pen(Paper, 1.5));
    p.setBrush(Green);
    p.drawEllipse(centre, 6.5, 6.5);
    p.setPen(pen(Paper, 2.2));
    p.drawLine(centre - QPointF(3.2, 0), centre + QPointF(3.2, 0));
    p.drawLine(centre - QPointF(0, 3.2), centre + QPointF(0, 3.2));
}

void addRow(QPainter& p)
{
    smallTable(p, QRectF(2.5, 4.5, 21, 19), Blue);
    plusBadge(p, QPointF(21.5, 21.5));
}

void importSheet(QPainter& p)
{
    sheet(p, QRectF(11.5, 3.5, 15, 23), true);
    arrow(p, QPointF(2.5, 16), QPointF(18, 16), Blue);
}

void exportSheet(QPainter& p)
{
    sheet(p, QRectF(3.5, 3.5, 15, 23), true);
    arrow(p, QPointF(11, 16), QPointF(28, 16), Teal);
}

void refresh(QPainter& p)
{
    const QPointF centre(15, 15);
    const qreal radius = 9;
    const QRectF circle(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.setPen(pen(Blue, 3));
    p.setBrush(Qt::NoBrush);
    // Two arcs running counter-clockwise, each ending in an arrow head.
    for (qreal start : {30.0, 210.0}) {
        const qreal span = 125;
        p.setPen(pen(Blue, 3));
        p.drawArc(circle, int(start * 16), int(span * 16));
        const qreal end = qDegreesToRadians(start + span);
        const QPointF tipBase(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
        const QPointF tangent(-std::sin(end), -std::cos(end));
        arrowHead(p, tipBase + tangent * 4, tangent, 6.5, Blue);
    }
}

void calculator(QPainter& p)
{
    fill(p, roundRect(6, 2.5, 18, 25, 3), Ink);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xcd, 0xeb, 0xd3));
    p.drawRoundedRect(QRectF(8.5, 5, 13, 6), 1, 1);
    // A multiplication sign on the display.
    p.setPen(pen(Ink, 1.4));
    p.drawLine(QPointF(16.2, 6.6), QPointF(19.2, 9.4));
    p.drawLine(QPointF(19.2, 6.6), QPointF(16.2, 9.4));
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const bool isOperator = col == 2;
            p.setBrush(isOperator ? Amber : Paper);
            p.drawRoundedRect(QRectF(8.5 + col * 4.6, 13.5 + row * 4.4, 3.6, 3.4), 0.8, 0.8);
        }
    }
}

void sole(QPainter& p)
{
    QPainterPath shape;
    shape.addEllipse(QPointF(0, -5.5), 6.8, 7.5);
    QPainterPath heel;
    heel.addEllipse(QPointF(0, 7.5), 4.8, 5);
    QPainterPath waist = polygon({QPointF(-6.6, -4), QPointF(6.6, -4), QPointF(4.8, 7.5), QPointF(-4.6, 7.5)});
    shape = shape.united(heel).united(waist).simplified();

    p.save();
    p.translate(15, 15.5);
    p.rotate(-22);
    QLinearGradient shade(-7, 0, 7, 0);
    shade.setColorAt(0, Teal.lighter(120));
    shade.setColorAt(1, Teal);
    p.setPen(pen(Teal.darker(135), 1.3));
    p.setBrush(shade);
    p.drawPath(shape);
    p.setPen(pen(QColor(255, 255, 255, 200), 1.3));
    for (qreal y : {-9.0, -5.5, -2.0})
        p.drawLine(QPointF(-3.8, y), QPointF(3.8, y));
    for (qreal y : {6.0, 9.0})
        p.drawLine(QPointF(-2.4, y), QPointF(2.4, y));
    p.restore();
}

void checkMark(QPainter& p)
{
    p.setPen(pen(Green.darker(125), 6.5));
    p.drawPolyline(QPolygonF({QPointF(6, 15.5), QPointF(12, 21.5), QPointF(24, 8.5)}));
    p.setPen(pen(Green, 4.5));
    p.drawPolyline(QPolygonF({QPointF(6, 15.5), QPointF(12, 21.5), QPointF(24, 8.5)}));
}

void eraser(QPainter& p)
{
    p.save();
    p.translate(15, 13.5);
    p.rotate(-40);
    fill(p, roundRect(-11, -5, 12, 10, 1.5), Red.lighter(125));
    p.setPen(pen(Ink, 1.2));
    p.setBrush(Paper);
    p.drawPath(roundRect(1, -5, 10, 10, 1.5));
    p.restore();
    p.setPen(pen(InkLight, 1.5));
    p.drawLine(QPointF(4, 25.5), QPointF(26, 25.5));
}

void bulletList(QPainter& p)
{
    for (int i = 0; i < 3; ++i) {
        const qreal y = 8 + i * 7;
        p.setPen(Qt::NoPen);
        p.setBrush(Blue);
        p.drawEllipse(QPointF(6.5, y), 2.4, 2.4);
        p.setPen(pen(Ink, 2.5));
        p.drawLine(QPointF(12, y), QPointF(26, y));
    }
}

void help(QPainter& p)
{
    QLinearGradient shade(0, 3, 0, 27);
    shade.setColorAt(0, Blue.lighter(118));
    shade.setColorAt(1, Blue);
    p.setPen(pen(Blue.darker(125), 1.2));
    p.setBrush(shade);
    p.drawEllipse(QPointF(15, 15), 12, 12);
    QFont font(TextFamily);
    font.setPixelSize(19);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Paper);
    p.drawText(QRectF(3, 3.5, 24, 24), Qt::AlignCenter, QStringLiteral("?"));
}

void exitDoor(QPainter& p)
{
    p.setPen(pen(Ink, 1.8));
    p.setBrush(PaperShade);
    p.drawRect(QRectF(4, 3.5, 13, 23));
    fill(p, polygon({QPointF(4.5, 4), QPointF(12.5, 7), QPointF(12.5, 28.5), QPointF(4.5, 26)}), Amber);
    p.setPen(Qt::NoPen);
    p.setBrush(Ink);
    p.drawEllipse(QPointF(10.5, 17), 1.2, 1.2);
    arrow(p, QPointF(15, 15), QPointF(28, 15), Red);
}

void calendar(QPainter& p)
{
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRoundedRect(QRectF(3.5, 5.5, 23, 21), 2, 2);
    QPainterPath band = roundRect(3.5, 5.5, 23, 6, 2).united(roundRect(3.5, 8, 23, 3.5, 0));
    fill(p, band, Red);
    p.setPen(pen(Ink, 2.2));
    p.drawLine(QPointF(10, 3), QPointF(10, 8));
    p.drawLine(QPointF(20, 3), QPointF(20, 8));
    p.setPen(Qt::NoPen);
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 4; ++col) {
            p.setBrush(row == 1 && col == 2 ? Blue : InkLight);
            p.drawRoundedRect(QRectF(6.5 + col * 4.6, 13.5 + row * 4.2, 3, 2.8), 0.6, 0.6);
        }
    }
}

void clipboard(QPainter& p)
{
    fill(p, roundRect(5, 4, 20, 24, 2.5), Amber.darker(105));
    p.setPen(pen(Ink, 1));
    p.setBrush(Paper);
    p.drawRect(QRectF(8, 7.5, 14, 17.5));
    fill(p, roundRect(10.5, 2, 9, 5, 1.5), Ink);
    for (int i = 0; i < 3; ++i) {
        const qreal y = 12 + i * 4.3;
        p.setPen(Qt::NoPen);
        p.setBrush(Blue);
        p.drawRect(QRectF(10, y - 1.2, 2.4, 2.4));
        p.setPen(pen(InkLight, 1.5));
        p.drawLine(QPointF(14.5, y), QPointF(20, y));
    }
}

void spreadsheet(QPainter& p)
{
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Paper);
    p.drawRect(QRectF(3.5, 4.5, 23, 21));
    p.setPen(Qt::NoPen);
    p.setBrush(Green);
    p.drawRect(QRectF(4.2, 5.2, 21.6, 5));
    p.setBrush(PaperShade);
    p.drawRect(QRectF(4.2, 10.2, 6.3, 14.6));
    p.setPen(pen(InkLight, 1));
    for (qreal x : {10.5, 18.5})
        p.drawLine(QPointF(x, 5.2), QPointF(x, 25));
    for (qreal y : {15.0, 20.0})
        p.drawLine(QPointF(4.2, y), QPointF(25.8, y));
    p.setPen(pen(Ink, 1.3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 4.5, 23, 21));
}

void closedFolder(QPainter& p)
{
    folderBack(p);
    QLinearGradient shade(0, 11, 0, 26);
    shade.setColorAt(0, Amber.lighter(115));
    shade.setColorAt(1, Amber);
    p.setPen(pen(Amber.darker(125), 1.2));
    p.setBrush(shade);
    p.drawPath(roundRect(3, 11.5, 24, 14.5, 2));
}

void magnifier(QPainter& p)
{
    p.setPen(pen(Ink, 5));
    p.drawLine(QPointF(18, 18), QPointF(25.5, 25.5));
    p.setPen(pen(Ink, 3));
    p.setBrush(QColor(0xd6, 0xe8, 0xfb));
    p.drawEllipse(QPointF(12.5, 12.5), 8, 8);
    p.setPen(pen(Paper, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(7.5, 7.5, 10, 10), 100 * 16, 70 * 16);
}

QPainterPath upArrowShape()
{
    return polygon({QPointF(15, 3.5), QPointF(26, 14.5), QPointF(19.5, 14.5), QPointF(19.5, 26.5),
                    QPointF(10.5, 26.5), QPointF(10.5, 14.5), QPointF(4, 14.5)});
}

void upArrow(QPainter& p)
{
    p.setPen(pen(Blue.darker(125), 2.2));
    p.setBrush(Blue);
    p.drawPath(upArrowShape());
}

void downArrow(QPainter& p)
{
    const QTransform flip(1, 0, 0, -1, 0, 30);
    p.setPen(pen(Blue.darker(125), 2.2));
    p.setBrush(Blue);
    p.drawPath(flip.map(upArrowShape()));
}

void funnel(QPainter& p)
{
    p.setPen(pen(Teal.darker(130), 2));
    p.setBrush(Teal);
    p.drawPath(polygon({QPointF(4, 5), QPointF(26, 5), QPointF(17.5, 15), QPointF(17.5, 23.5), QPointF(12.5, 26.5),
                        QPointF(12.5, 15)}));
    p.setPen(pen(QColor(255, 255, 255, 150), 1.5));
    p.drawLine(QPointF(8, 8), QPointF(22, 8));
}

void gear(QPainter& p)
{
    QPainterPath shape;
    shape.addEllipse(QPointF(15, 15), 8.5, 8.5);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth = roundRect(-2.6, -12.5, 5.2, 6, 1.2);
        QTransform t;
        t.translate(15, 15);
        t.rotate(i * 45);
        shape = shape.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(15, 15), 3.6, 3.6);
    fill(p, shape.subtracted(hole).simplified(), Ink);
}

struct IconEntry {
    void (*draw)(QPainter&);
    const char* meaning;
};

const std::array<IconEntry, IconCount> Icons = {{
    {openFolder, "open (an opened folder)"},
    {floppy, "save (a floppy disk)"},
    {printDocument, "print (a page with a printer)"},
    {barChart, "sole statistics (a bar chart)"},
    {cross, "delete (a red cross)"},
    {addRow, "add a row (a table with a plus)"},
    {importSheet, "import (an arrow into a sheet)"},
    {exportSheet, "export (an arrow out of a sheet)"},
    {refresh, "refresh (two circling arrows)"},
    {calculator, "multiply / calculate (a calculator)"},
    {sole, "sole-model table (a shoe sole)"},
    {checkMark, "mark counted (a check mark)"},
    {eraser, "clear (an eraser)"},
    {bulletList, "list (a bulleted list)"},
    {help, "help (a question mark)"},
    {exitDoor, "exit (an open door and an arrow)"},
    {calendar, "date (a calendar)"},
    {clipboard, "order quantity table (a clipboard)"},
    {spreadsheet, "spreadsheet (a grid with a header row)"},
    {[](QPainter& p) { printer(p, 1.0, QPointF(0, 0)); }, "printer"},
    {closedFolder, "folder (a closed folder)"},
    {magnifier, "search (a magnifying glass)"},
    {upArrow, "move up (an up arrow)"},
    {downArrow, "move down (a down arrow)"},
    {funnel, "filter (a funnel)"},
    {gear, "settings (a gear)"},
}};

}  // namespace

QImage drawIcon(int index)
{
    QImage image(IconSize, IconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (index < 0 || index >= IconCount)
        return image;
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    Icons[size_t(index)].draw(p);
    p.end();
    return image;
}

QImage drawProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on the 30 by 30 canvas of the toolbar icons, scaled up.
    p.scale(size / 30.0, size / 30.0);
    QLinearGradient tile(0, 0, 0, 30);
    tile.setColorAt(0, Paper);
    tile.setColorAt(1, PaperShade);
    p.setPen(pen(InkLight, 0.6));
    p.setBrush(tile);
    p.drawPath(roundRect(1, 1, 28, 28, 5));
    p.save();
    p.translate(11, 12);
    p.scale(0.62, 0.62);
    p.translate(-15, -15);
    barChart(p);
    p.restore();
    p.save();
    p.translate(19.5, 17.5);
    p.scale(0.68, 0.68);
    p.translate(-15, -15.5);
    sole(p);
    p.restore();
    p.end();
    return image;
}

QString iconMeaning(int index)
{
    if (index < 0 || index >= IconCount)
        return {};
    return QString::fromLatin1(Icons[size_t(index)].meaning);
}

}  // namespace artwork
