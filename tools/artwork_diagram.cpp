// The data-flow diagram of the main window: the two tables feed the sole
// statistics, whose result goes to print or fax.
//
// The hot spots of the main window lie over fixed rectangles of this picture,
// and only its top-left 522 by 274 pixels are visible, so every shape below
// is placed in picture coordinates inside that area.

#include "artwork.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace artwork {
namespace {

// Rectangles the hot spots cover, in picture coordinates.
const QRectF SoleTableArea(78, 96, 81, 75);
const QRectF OrderTableArea(426, 95, 81, 75);
const QRectF StatisticsArea(255, 119, 73, 26);
const QRectF PrintArea(226, 201, 131, 36);

// The part of the picture that is visible in the window.
const QRectF VisibleArea(0, 0, 520, 272);

const QColor Ink(0x34, 0x49, 0x5e);
const QColor Muted(0x7c, 0x8a, 0x99);
const QColor ArrowColour(0x6c, 0x7f, 0x93);
const QColor Blue(0x3b, 0x7d, 0xd8);

struct CylinderColours {
    QColor dark;
    QColor light;
    QColor top;
};

const CylinderColours Teal{QColor(0x1c, 0x86, 0x76), QColor(0x4c, 0xc3, 0xae), QColor(0x8a, 0xdc, 0xce)};
const CylinderColours Amber{QColor(0xc9, 0x76, 0x22), QColor(0xf5, 0xb4, 0x61), QColor(0xfa, 0xd6, 0xa0)};

QFont textFont(int pixelSize, bool bold = false)
{
    QFont font(TextFamily);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

QPainterPath cylinderOutline(const QRectF& r, qreal capHeight)
{
    const QRectF topCap(r.left(), r.top(), r.width(), capHeight);
    const QRectF bottomCap(r.left(), r.bottom() - capHeight, r.width(), capHeight);
    QPainterPath path;
    path.moveTo(r.left(), topCap.center().y());
    path.lineTo(r.left(), bottomCap.center().y());
    path.arcTo(bottomCap, 180, 180);
    path.lineTo(r.right(), topCap.center().y());
    path.arcTo(topCap, 0, 180);
    path.closeSubpath();
    return path;
}

QPainterPath roundedBox(const QRectF& r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// A soft shadow under `shapes`, made by blurring a dark copy of them.
void drawShadow(QPainter& p, const QList<QPainterPath>& shapes, const QSize& canvas)
{
    const int factor = 4;
    QImage layer(canvas, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.setPen(Qt::NoPen);
        lp.setBrush(QColor(30, 50, 80, 70));
        lp.translate(0, 3);
        for (const QPainterPath& s : shapes)
            lp.drawPath(s);
    }
    const QImage small = layer.scaled(canvas / factor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    p.drawImage(QRect(QPoint(0, 0), canvas), small.scaled(canvas, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

void drawArrow(QPainter& p, QPointF from, QPointF to)
{
    const qreal headLength = 10;
    const qreal headHalfWidth = 5.5;
    const QLineF line(from, to);
    const QPointF dir = (to - from) / line.length();
    const QPointF normal(-dir.y(), dir.x());
    const QPointF base = to - dir * headLength;

    p.setPen(QPen(ArrowColour, 2.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, base + dir * 1.0);

    QPainterPath head;
    head.moveTo(to);
    head.lineTo(base + normal * headHalfWidth);
    head.lineTo(base + dir * 2.5);
    head.lineTo(base - normal * headHalfWidth);
    head.closeSubpath();
    p.setPen(QPen(ArrowColour, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(ArrowColour);
    p.drawPath(head);
}

void drawCylinder(QPainter& p, const QRectF& r, const CylinderColours& c, const QString& label)
{
    const qreal capHeight = 18;
    QLinearGradient body(r.topLeft(), r.topRight());
    body.setColorAt(0.0, c.dark);
    body.setColorAt(0.35, c.light);
    body.setColorAt(1.0, c.dark);

    p.setPen(QPen(c.dark.darker(115), 1.2));
    p.setBrush(body);
    p.drawPath(cylinderOutline(r, capHeight));

    // A faint band below the lid, as on a stack of disks.
    const QRectF band(r.left(), r.top() + capHeight * 0.9, r.width(), capHeight);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(band, 180 * 16, 180 * 16);

    QLinearGradient lid(r.topLeft(), QPointF(r.right(), r.top() + capHeight));
    lid.setColorAt(0.0, c.top.lighter(108));
    lid.setColorAt(1.0, c.top);
    p.setPen(QPen(c.dark.darker(110), 1.2));
    p.setBrush(lid);
    p.drawEllipse(QRectF(r.left(), r.top(), r.width(), capHeight));

    const QRectF textArea(r.left(), r.top() + capHeight + 4, r.width(), r.height() - capHeight - 10);
    p.setFont(textFont(13, true));
    p.setPen(QColor(0, 0, 0, 60));
    p.drawText(textArea.translated(0, 1), Qt::AlignCenter, label);
    p.setPen(Qt::white);
    p.drawText(textArea, Qt::AlignCenter, label);
}

void drawStatisticsBox(QPainter& p, const QRectF& r)
{
    QLinearGradient fill(r.topLeft(), r.bottomLeft());
    fill.setColorAt(0.0, Blue.lighter(118));
    fill.setColorAt(1.0, Blue);
    p.setPen(QPen(Blue.darker(120), 1.2));
    p.setBrush(fill);
    p.drawPath(roundedBox(r, 6));
    p.setFont(textFont(14, true));
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, QStringLiteral("鞋底统计"));
}

// A small printer beside the text of the print box.
void drawPrinterMark(QPainter& p, const QPointF& topLeft)
{
    p.save();
    p.translate(topLeft);
    p.setPen(QPen(Ink, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 0.5, 9, 6));
    p.setBrush(Ink);
    p.drawRoundedRect(QRectF(0.5, 5.5, 17, 8), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 10.5, 9, 6));
    p.setPen(QPen(Muted, 1));
    p.drawLine(QPointF(6.5, 13), QPointF(11.5, 13));
    p.restore();
}

void drawPrintBox(QPainter& p, const QRectF& r)
{
    p.setPen(QPen(QColor(0x8a, 0xa4, 0xc2), 1.4));
    p.setBrush(QColor(0xfd, 0xfe, 0xff));
    p.drawPath(roundedBox(r, 7));

    p.setFont(textFont(14, true));
    const QString text = QStringLiteral("打印/传真");
    const int textWidth = QFontMetrics(p.font()).horizontalAdvance(text);
    const qreal markWidth = 18;
    const qreal gap = 8;
    const qreal left = r.center().x() - (markWidth + gap + textWidth) / 2;
    drawPrinterMark(p, QPointF(left, r.center().y() - 8.5));
    p.setPen(Ink);
    p.drawText(QRectF(left + markWidth + gap, r.top(), textWidth + 2, r.height()),
               Qt::AlignVCenter | Qt::AlignLeft, text);
}

void drawCaption(QPainter& p, qreal centreX, qreal baselineTop, const QString& text)
{
    p.setFont(textFont(11));
    p.setPen(Muted);
    p.drawText(QRectF(centreX - 60, baselineTop, 120, 16), Qt::AlignCenter, text);
}

void drawBackground(QPainter& p, const QSize& canvas)
{
    QLinearGradient sky(0, 0, 0, canvas.height());
    sky.setColorAt(0.0, QColor(0xf8, 0xfb, 0xfe));
    sky.setColorAt(1.0, QColor(0xe6, 0xee, 0xf7));
    p.fillRect(QRect(QPoint(0, 0), canvas), sky);

    // A faint dot grid gives the drawing board a little texture.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x9f, 0xb4, 0xcc, 45));
    for (int y = 12; y < canvas.height(); y += 16)
        for (int x = 12; x < canvas.width(); x += 16)
            p.drawEllipse(QPointF(x, y), 0.9, 0.9);
}

void drawTitle(QPainter& p)
{
    const qreal centreX = VisibleArea.center().x();
    p.setFont(textFont(19, true));
    p.setPen(Ink);
    p.drawText(QRectF(0, 22, VisibleArea.width(), 28), Qt::AlignCenter, QStringLiteral("鞋底统计数据流程"));
    p.setPen(Qt::NoPen);
    p.setBrush(Blue);
    p.drawRoundedRect(QRectF(centreX - 22, 54, 44, 3), 1.5, 1.5);
}

}  // namespace

QImage drawPicture()
{
    const QSize canvas(PictureWidth, PictureHeight);
    QImage image(canvas, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    drawBackground(p, canvas);
    drawTitle(p);

    // The shapes sit a pixel inside the hot-spot rectangles, so that the edge
    // a hot spot shows under the mouse frames them.
    const QRectF soleTable = SoleTableArea.adjusted(3, 1, -3, -1);
    const QRectF orderTable = OrderTableArea.adjusted(3, 1, -3, -1);
    const QRectF statistics = StatisticsArea.adjusted(1, 1, -1, -1);

    drawShadow(p,
               {cylinderOutline(soleTable, 18), cylinderOutline(orderTable, 18), roundedBox(statistics, 6),
                roundedBox(PrintArea, 7)},
               canvas);

    const qreal flowY = statistics.center().y();
    drawArrow(p, QPointF(soleTable.right() + 7, flowY), QPointF(statistics.left() - 5, flowY));
    drawArrow(p, QPointF(orderTable.left() - 7, flowY), QPointF(statistics.right() + 5, flowY));
    drawArrow(p, QPointF(statistics.center().x(), statistics.bottom() + 5),
              QPointF(statistics.center().x(), PrintArea.top() - 5));

    drawCylinder(p, soleTable, Teal, QStringLiteral("鞋底型号表"));
    drawCylinder(p, orderTable, Amber, QStringLiteral("订单数量表"));
    drawStatisticsBox(p, statistics);
    drawPrintBox(p, PrintArea);

    drawCaption(p, soleTable.center().x(), soleTable.bottom() + 6, QStringLiteral("shoes.db"));
    drawCaption(p, orderTable.center().x(), orderTable.bottom() + 6, QStringLiteral("dd.db"));
    drawCaption(p, statistics.center().x() + 36, (statistics.bottom() + PrintArea.top()) / 2 - 8,
                QStringLiteral("xdtj.db"));

    p.setFont(textFont(11));
    p.setPen(Muted);
    p.drawText(QRectF(0, 250, VisibleArea.width(), 16), Qt::AlignCenter,
               QStringLiteral("单击图中的数据表或统计框，打开相应的窗口"));
    p.end();
    return image;
}

}  // namespace artwork
