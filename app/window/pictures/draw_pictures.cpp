// Draws the program's pictures: the five button glyphs, the splash picture and
// the program icon. Run once after changing a drawing; the PNGs are committed.
//   draw_pictures <output folder>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

void Save(const QImage& image, const QString& folder, const char* name)
{
    const QString path = folder + QLatin1Char('/') + QLatin1String(name) + QLatin1String(".png");
    if (!image.save(path))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

QImage Draw(int width, int height, const std::function<void(QPainter&)>& paint)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    paint(painter);
    return image;
}

void StartGlyph(QPainter& p)
{
    QPainterPath play;
    play.moveTo(5, 3);
    play.lineTo(16, 9.5);
    play.lineTo(5, 16);
    play.closeSubpath();
    p.setPen(QPen(QColor(0, 90, 0), 1));
    p.setBrush(QColor(40, 170, 60));
    p.drawPath(play);
}

void StopGlyph(QPainter& p)
{
    p.setPen(QPen(QColor(120, 0, 0), 1));
    p.setBrush(QColor(210, 40, 40));
    p.drawRoundedRect(QRectF(4.5, 4.5, 10, 10), 1.5, 1.5);
}

void FiltersGlyph(QPainter& p)
{
    QPainterPath funnel;
    funnel.moveTo(2.5, 3.5);
    funnel.lineTo(16.5, 3.5);
    funnel.lineTo(11, 10);
    funnel.lineTo(11, 16);
    funnel.lineTo(8, 14.5);
    funnel.lineTo(8, 10);
    funnel.closeSubpath();
    p.setPen(QPen(QColor(20, 50, 120), 1));
    p.setBrush(QColor(70, 120, 210));
    p.drawPath(funnel);
}

void WriteGlyph(QPainter& p)
{
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(4.5, 1.5, 11, 16));
    p.setPen(QPen(QColor(40, 80, 160), 1));
    for (int y = 5; y <= 14; y += 3)
        p.drawLine(QPointF(6.5, y + 0.5), QPointF(13.5, y + 0.5));
}

void ClearGlyph(QPainter& p)
{
    p.setPen(QPen(QColor(70, 70, 70), 1));
    p.setBrush(QColor(190, 190, 190));
    p.drawRect(QRectF(5.5, 5.5, 9, 11));
    p.drawRect(QRectF(3.5, 3.5, 13, 2));
    p.drawRect(QRectF(8.5, 1.5, 3, 2));
    for (int x = 8; x <= 12; x += 2)
        p.drawLine(QPointF(x + 0.5, 7.5), QPointF(x + 0.5, 14.5));
}

// Small frames travelling along a wire, the program's emblem.
void Emblem(QPainter& p, const QRectF& area)
{
    const double wireY = area.center().y();
    p.setPen(QPen(QColor(230, 240, 255), area.height() / 16));
    p.drawLine(QPointF(area.left(), wireY), QPointF(area.right(), wireY));
    const QColor colours[] = {QColor(250, 190, 60), QColor(120, 220, 120), QColor(110, 180, 250)};
    const double w = area.width() / 4.2;
    const double h = area.height() / 2.4;
    for (int i = 0; i < 3; ++i) {
        const QRectF frame(area.left() + area.width() * (0.06 + 0.32 * i), wireY - h / 2, w, h);
        p.setPen(QPen(QColor(20, 30, 60), area.height() / 24));
        p.setBrush(colours[i]);
        p.drawRoundedRect(frame, h / 6, h / 6);
    }
}

void Icon(QPainter& p, int size)
{
    QLinearGradient background(0, 0, 0, size);
    background.setColorAt(0, QColor(30, 60, 120));
    background.setColorAt(1, QColor(10, 25, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(background);
    p.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 6.0, size / 6.0);
    Emblem(p, QRectF(size * 0.1, size * 0.25, size * 0.8, size * 0.5));
}

void Splash(QPainter& p)
{
    QLinearGradient background(0, 0, 458, 260);
    background.setColorAt(0, QColor(25, 55, 115));
    background.setColorAt(1, QColor(8, 20, 50));
    p.fillRect(0, 0, 458, 260, background);

    Emblem(p, QRectF(300, 40, 130, 64));

    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(28, 118, 420, 44), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Quarn Analyzer 1.0"));

    QFont line(QStringLiteral("Sans Serif"));
    line.setPixelSize(14);
    p.setFont(line);
    p.setPen(QColor(190, 210, 240));
    p.drawText(QRectF(30, 162, 400, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Ethernet frame analyser"));
    p.drawText(QRectF(92, 194, 340, 25), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Capture, filter and decode network frames"));

    p.setPen(QPen(QColor(90, 130, 200), 1));
    p.drawLine(28, 232, 430, 232);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_pictures <output folder>\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    Save(Draw(19, 19, StartGlyph), folder, "start");
    Save(Draw(19, 19, StopGlyph), folder, "stop");
    Save(Draw(19, 19, FiltersGlyph), folder, "filters");
    Save(Draw(19, 19, WriteGlyph), folder, "write");
    Save(Draw(19, 19, ClearGlyph), folder, "clear");
    Save(Draw(458, 260, Splash), folder, "splash");
    Save(Draw(64, 64, [](QPainter& p) { Icon(p, 64); }), folder, "analyzer");
    return 0;
}
