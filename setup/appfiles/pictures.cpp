#include "setup/appfiles/pictures.h"

#include "setup/appfiles/gifencoder.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QRadialGradient>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace lorvo::appfiles {
namespace {

// The home page's own background colour, where the background gradient ends.
const QColor kPageColour(0xec, 0xe9, 0xd8);

QFont uiFont(int pixelSize, bool bold = false)
{
    QFont font;
    // Tahoma is what the home page uses on Windows; the others stand in elsewhere.
    font.setFamilies({u"Tahoma"_s, u"DejaVu Sans"_s, u"Arial"_s});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void paintBackground(QPainter& p, const QSize& size)
{
    QLinearGradient gradient(0, 0, 0, size.height());
    gradient.setColorAt(0.0, QColor(0xff, 0xff, 0xff));
    gradient.setColorAt(0.45, kPageColour.lighter(103));
    gradient.setColorAt(1.0, kPageColour);
    p.fillRect(QRect(QPoint(0, 0), size), gradient);
}

void paintLogo(QPainter& p, const QSize& size)
{
    // Transparent corners: the logo stands on the page's gradient.
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF card = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4.5, 4.5, -4.5, -4.5);
    QLinearGradient fill(card.topLeft(), card.bottomLeft());
    fill.setColorAt(0.0, QColor(0x4a, 0x7e, 0xb5));
    fill.setColorAt(1.0, QColor(0x1f, 0x4e, 0x79));
    p.setPen(QPen(QColor(0x16, 0x37, 0x5a), 1.0));
    p.setBrush(fill);
    p.drawRoundedRect(card, 14, 14);

    // An open book above the name: the knowledge base.
    const QPointF spine(card.center().x(), card.top() + 14);
    p.setPen(QPen(QColor(0xff, 0xff, 0xff), 1.5));
    p.setBrush(QColor(0xdb, 0xe8, 0xf5));
    QPainterPath left;
    left.moveTo(spine);
    left.quadTo(spine + QPointF(-9, -4), spine + QPointF(-17, -1));
    left.lineTo(spine + QPointF(-17, 13));
    left.quadTo(spine + QPointF(-9, 10), spine + QPointF(0, 15));
    left.closeSubpath();
    p.drawPath(left);
    p.drawPath(QTransform(-1, 0, 0, 1, 2 * spine.x(), 0).map(left));

    p.setPen(QColor(0xff, 0xff, 0xff));
    p.setFont(uiFont(26, true));
    p.drawText(QRectF(card.left(), card.top() + 32, card.width(), 30), Qt::AlignCenter, u"Lorvo"_s);
    p.setPen(QColor(0xdb, 0xe8, 0xf5));
    p.setFont(uiFont(11));
    p.drawText(QRectF(card.left(), card.top() + 62, card.width(), 16), Qt::AlignCenter,
               u"for Outlook"_s);
}

void paintBullet(QPainter& p, const QSize& size)
{
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::transparent);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient dot(QPointF(3.2, 3.2), 4.5);
    dot.setColorAt(0.0, QColor(0xff, 0x8c, 0x8c));
    dot.setColorAt(0.45, QColor(0xe0, 0x10, 0x10));
    dot.setColorAt(1.0, QColor(0x99, 0x00, 0x00));
    p.setPen(Qt::NoPen);
    p.setBrush(dot);
    p.drawEllipse(QRectF(0.5, 0.5, size.width() - 1.0, size.height() - 1.0));
}

void box(QPainter& p, const QRectF& r, const QString& label, const QColor& fill)
{
    p.setPen(QPen(QColor(0x33, 0x33, 0x33), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 4, 4);
    p.drawText(r, Qt::AlignCenter, label);
}

void paintNetworkDiagram(QPainter& p, const QSize& size)
{
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(uiFont(11));
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 2));
    p.drawLine(QPointF(120, 38), QPointF(120, 68));
    p.drawLine(QPointF(120, 92), QPointF(120, 112));
    p.drawLine(QPointF(40, 112), QPointF(200, 112));
    for (const qreal x : {40.0, 120.0, 200.0})
        p.drawLine(QPointF(x, 112), QPointF(x, 126));
    box(p, QRectF(80, 10, 80, 28), u"Internet"_s, QColor(0xdd, 0xee, 0xff));
    box(p, QRectF(80, 68, 80, 24), u"Firewall"_s, QColor(0xff, 0xe0, 0xc0));
    box(p, QRectF(8, 126, 64, 26), u"Desk PC"_s, QColor(0xe8, 0xf5, 0xe0));
    box(p, QRectF(88, 126, 64, 26), u"Printer"_s, QColor(0xe8, 0xf5, 0xe0));
    box(p, QRectF(168, 126, 64, 26), u"Wi-Fi AP"_s, QColor(0xe8, 0xf5, 0xe0));
    p.setPen(QColor(0x99, 0x00, 0x00));
    p.drawText(QRectF(126, 94, 110, 16), Qt::AlignLeft, u"Floor switch"_s);
}

void paintPrintQueue(QPainter& p, const QSize& size)
{
    p.fillRect(QRect(QPoint(0, 0), size), QColor(0xf0, 0xf0, 0xf0));
    p.fillRect(QRect(0, 0, size.width(), 20), QColor(0x0a, 0x24, 0x6a));
    p.setFont(uiFont(11, true));
    p.setPen(Qt::white);
    p.drawText(QRect(6, 0, size.width() - 12, 20), Qt::AlignVCenter, u"3rd Floor Laser - Queue"_s);
    p.setFont(uiFont(11));
    const QStringList header{u"Document"_s, u"Status"_s, u"Owner"_s};
    const QList<QStringList> rows{{u"Budget.xlsx"_s, u"Error"_s, u"jsmith"_s},
                                  {u"Minutes.docx"_s, u"Waiting"_s, u"akhan"_s},
                                  {u"Badge form.pdf"_s, u"Waiting"_s, u"lmoreau"_s}};
    const int columns[] = {6, 120, 190};
    p.fillRect(QRect(2, 24, size.width() - 4, 18), Qt::white);
    p.setPen(Qt::black);
    for (int c = 0; c < 3; ++c)
        p.drawText(QRect(columns[c], 24, 110, 18), Qt::AlignVCenter, header.at(c));
    for (int r = 0; r < rows.size(); ++r) {
        const int top = 46 + r * 20;
        p.setPen(r == 0 ? QColor(0xc0, 0x00, 0x00) : QColor(Qt::black));
        for (int c = 0; c < 3; ++c)
            p.drawText(QRect(columns[c], top, 110, 18), Qt::AlignVCenter, rows.at(r).at(c));
    }
}

void paintVpnSetup(QPainter& p, const QSize& size)
{
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const qreal margin = size.width() * 0.1;
    qreal y = margin;
    const qreal line = size.height() / 40.0;
    p.setPen(QColor(0x1f, 0x4e, 0x79));
    p.setFont(uiFont(int(line * 1.4), true));
    p.drawText(QPointF(margin, y), u"Remote access: setting up the VPN"_s);
    y += line * 2;
    p.setPen(Qt::black);
    p.setFont(uiFont(int(line * 0.7)));
    const QStringList steps{
        u"1. Install the VPN client from the Software Center (package \"Secure Access\")."_s,
        u"2. Start the client and enter the gateway vpn.lorvo.example."_s,
        u"3. Sign in with your network account and approve the prompt on your phone."_s,
        u"4. Wait for the padlock icon to turn green before opening shared drives."_s,
        u"5. Disconnect when you are done; idle sessions end after 8 hours."_s,
        u""_s,
        u"Trouble? Call the helpdesk on extension 4357 (HELP)."_s,
    };
    for (const QString& step : steps) {
        p.drawText(QPointF(margin, y), step);
        y += line;
    }
}

using Painter = void (*)(QPainter&, const QSize&);

struct Picture
{
    QString name;
    QSize size;
    Painter paint;
};

const QList<Picture>& pictures()
{
    static const QList<Picture> all{
        {u"background"_s, {3, 1500}, paintBackground},
        {u"logo"_s, {120, 100}, paintLogo},
        {u"bullet"_s, {8, 8}, paintBullet},
        {u"network-diagram"_s, {240, 160}, paintNetworkDiagram},
        {u"print-queue"_s, {260, 110}, paintPrintQueue},
        {u"vpn-setup"_s, {595, 842}, paintVpnSetup},
    };
    return all;
}

const Picture* find(const QString& name)
{
    for (const Picture& picture : pictures()) {
        if (picture.name == name)
            return &picture;
    }
    return nullptr;
}

QByteArray pdfPage(const Picture& picture)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setTitle(u"Remote access: setting up the VPN"_s);
        writer.setCreator(u"Lorvo for Outlook"_s);
        writer.setPageSize(QPageSize(picture.size, QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter painter(&writer);
        picture.paint(painter, picture.size);
    }
    return buffer.data();
}

} // namespace

QStringList pictureNames()
{
    QStringList names;
    for (const Picture& picture : pictures())
        names.append(picture.name);
    return names;
}

QImage drawPicture(const QString& name)
{
    const Picture* picture = find(name);
    if (!picture)
        return {};
    QImage image(picture->size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture->paint(painter, picture->size);
    painter.end();
    return image;
}

QString writePicture(const QString& name, const QString& path)
{
    const Picture* picture = find(name);
    if (!picture)
        return u"unknown picture \"%1\"; known: %2"_s.arg(name, pictureNames().join(u", "_s));

    const QString suffix = QFileInfo(path).suffix().toLower();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return u"cannot write %1: %2"_s.arg(path, file.errorString());
    if (suffix == "gif"_L1) {
        file.write(encodeGif(drawPicture(name)));
    } else if (suffix == "pdf"_L1) {
        file.write(pdfPage(*picture));
    } else {
        // Bitmaps keep a palette: a full-colour BMP is many times the size for the same picture.
        const QImage image = suffix == "bmp"_L1
                                 ? reduceColours(drawPicture(name))
                                 : drawPicture(name).convertToFormat(QImage::Format_RGB32);
        QImageWriter writer(&file, suffix.toLatin1());
        if (!writer.write(image)) {
            file.cancelWriting();
            return u"cannot write %1: %2"_s.arg(path, writer.errorString());
        }
    }
    if (!file.commit())
        return u"cannot write %1: %2"_s.arg(path, file.errorString());
    return {};
}

} // namespace lorvo::appfiles
