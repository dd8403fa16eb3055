// Draws the program icon, a lit seven-segment "0" with its decimal point on the dark display panel,
// as PNG files of the given sizes: orvicon-<size>.png in the output folder.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// Segment rectangles in units of a 10 x 14 cell (x, y, width, height): a, b, c, d, e, f, g, point.
constexpr double SEGMENTS[8][4] = {
    {1.5, 1.5, 6, 1.3}, {6.2, 1.5, 1.3, 6}, {6.2, 6.5, 1.3, 6},  {1.5, 11.2, 6, 1.3},
    {1.5, 6.5, 1.3, 6}, {1.5, 1.5, 1.3, 6}, {1.5, 6.35, 6, 1.3}, {8.1, 11.2, 1.3, 1.3},
};
constexpr int LIT = 0xBF; // "0" and the point

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);

    const double s = size;
    QPainterPath panel;
    panel.addRoundedRect(QRectF(0, 0, s, s), s * 0.12, s * 0.12);
    painter.fillPath(panel, QColor(192, 192, 192));
    QPainterPath inner;
    inner.addRoundedRect(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), s * 0.08, s * 0.08);
    painter.fillPath(inner, QColor(51, 51, 51));

    // The 10 x 14 cell fills the panel's height, centred.
    const double unit = s * 0.8 / 14.0;
    const double left = (s - 10 * unit) / 2, top = s * 0.1;
    for (int pass = 0; pass < 2; ++pass) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool lit = (LIT >> bit) & 1;
            if (lit != (pass == 1)) continue;
            const auto& g = SEGMENTS[bit];
            const QRectF body(left + g[0] * unit, top + g[1] * unit, g[2] * unit, g[3] * unit);
            painter.setBrush(lit ? QColor(255, 102, 153) : QColor(0, 0, 0));
            const double r = std::min(body.width(), body.height()) * 0.3;
            painter.drawRoundedRect(body, r, r);
            if (lit && size >= 32 && bit != 7) {
                const bool wide = body.width() > body.height();
                const double t = std::min(body.width(), body.height());
                painter.setBrush(QColor(255, 204, 153));
                painter.drawRect(
                    wide ? QRectF(body.left() + t, body.top() + t / 3, body.width() - 2 * t, t / 3)
                         : QRectF(body.left() + t / 3, body.top() + t, t / 3, body.height() - 2 * t));
            }
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s folder size...\n", argv[0]);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        const int size = std::atoi(argv[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "bad size '%s'\n", argv[i]);
            return 2;
        }
        const QString path = QString("%1/orvicon-%2.png").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!drawIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", path.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
