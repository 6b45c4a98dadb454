// skinart: draws the images of skin/images at twice their layout size, so they
// stay sharp up to 192 DPI. Run it after changing a drawing and commit the PNGs:
//   skinart <repo>/skin/images

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>
#include <functional>

namespace {

const QColor kAccent(0x2D, 0x7F, 0xF9);
const QColor kGlyph(0x5B, 0x63, 0x70);

bool draw(const QString& dir, const QString& name, int size,
          const std::function<void(QPainter&, qreal)>& paint) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p, size);
    }
    const bool ok = image.save(dir + "/" + name);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(name));
    return ok;
}

QPen glyphPen(qreal s, QColor color = kGlyph) {
    return QPen(color, s * 0.045, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void roundIcon(QPainter& p, qreal s, QColor color, const std::function<void(QPainter&, qreal)>& mark) {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
    mark(p, s);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: skinart <skin/images folder>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    // Caption buttons: 32 units, the glyph a quarter of it.
    ok &= draw(dir, "close.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        p.drawLine(QPointF(s * 0.375, s * 0.375), QPointF(s * 0.625, s * 0.625));
        p.drawLine(QPointF(s * 0.625, s * 0.375), QPointF(s * 0.375, s * 0.625));
    });
    ok &= draw(dir, "close_hot.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s, Qt::white));
        p.drawLine(QPointF(s * 0.375, s * 0.375), QPointF(s * 0.625, s * 0.625));
        p.drawLine(QPointF(s * 0.625, s * 0.375), QPointF(s * 0.375, s * 0.625));
    });
    ok &= draw(dir, "min.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        p.drawLine(QPointF(s * 0.36, s * 0.5), QPointF(s * 0.64, s * 0.5));
    });
    ok &= draw(dir, "max.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        p.drawRoundedRect(QRectF(s * 0.37, s * 0.37, s * 0.26, s * 0.26), s * 0.03, s * 0.03);
    });
    ok &= draw(dir, "restore.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        p.drawRoundedRect(QRectF(s * 0.35, s * 0.41, s * 0.22, s * 0.22), s * 0.03, s * 0.03);
        QPainterPath back;
        back.moveTo(s * 0.42, s * 0.35);
        back.lineTo(s * 0.63, s * 0.35);
        back.lineTo(s * 0.63, s * 0.56);
        p.drawPath(back);
    });
    ok &= draw(dir, "menu.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        for (qreal y : {0.38, 0.5, 0.62})
            p.drawLine(QPointF(s * 0.36, s * y), QPointF(s * 0.64, s * y));
    });
    // Message icons: 40 units.
    ok &= draw(dir, "icon_info.png", 80, [](QPainter& p, qreal s) {
        roundIcon(p, s, kAccent, [](QPainter& p, qreal s) {
            p.setBrush(Qt::white);
            p.drawEllipse(QPointF(s * 0.5, s * 0.3), s * 0.06, s * 0.06);
            p.setPen(QPen(Qt::white, s * 0.1, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.5, s * 0.46), QPointF(s * 0.5, s * 0.72));
        });
    });
    ok &= draw(dir, "icon_error.png", 80, [](QPainter& p, qreal s) {
        roundIcon(p, s, QColor(0xE5, 0x48, 0x4D), [](QPainter& p, qreal s) {
            p.setPen(QPen(Qt::white, s * 0.09, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.36, s * 0.36), QPointF(s * 0.64, s * 0.64));
            p.drawLine(QPointF(s * 0.64, s * 0.36), QPointF(s * 0.36, s * 0.64));
        });
    });
    ok &= draw(dir, "icon_warn.png", 80, [](QPainter& p, qreal s) {
        QPainterPath tri;
        tri.moveTo(s * 0.5, s * 0.08);
        tri.lineTo(s * 0.95, s * 0.88);
        tri.lineTo(s * 0.05, s * 0.88);
        tri.closeSubpath();
        p.setPen(QPen(QColor(0xF5, 0xA6, 0x23), s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0xF5, 0xA6, 0x23));
        p.drawPath(tri);
        p.setPen(QPen(Qt::white, s * 0.09, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.5, s * 0.36), QPointF(s * 0.5, s * 0.58));
        p.drawPoint(QPointF(s * 0.5, s * 0.74));
    });
    // The program's mark: a rounded square with a play triangle and two arrows.
    auto logo = [](QPainter& p, qreal s) {
        QLinearGradient g(0, 0, s, s);
        g.setColorAt(0, QColor(0x4C, 0x9A, 0xFF));
        g.setColorAt(1, QColor(0x1F, 0x5F, 0xE0));
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawRoundedRect(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92), s * 0.22, s * 0.22);
        QPainterPath play;
        play.moveTo(s * 0.40, s * 0.32);
        play.lineTo(s * 0.70, s * 0.50);
        play.lineTo(s * 0.40, s * 0.68);
        play.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(play);
        p.setPen(QPen(QColor(255, 255, 255, 200), s * 0.05, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6), 110 * 16, 90 * 16);
        p.drawArc(QRectF(s * 0.2, s * 0.2, s * 0.6, s * 0.6), 290 * 16, 90 * 16);
    };
    ok &= draw(dir, "logo.png", 128, logo);
    ok &= draw(dir, "logo_small.png", 48, logo);
    // The empty list: a cloud of files with a plus, 64 units.
    ok &= draw(dir, "add_files.png", 128, [](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(0xB4, 0xC6, 0xE6), s * 0.025));
        p.setBrush(QColor(0xEE, 0xF4, 0xFF));
        p.drawRoundedRect(QRectF(s * 0.22, s * 0.12, s * 0.5, s * 0.64), s * 0.06, s * 0.06);
        p.setBrush(kAccent);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(s * 0.7, s * 0.72), s * 0.17, s * 0.17);
        p.setPen(QPen(Qt::white, s * 0.04, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.7, s * 0.64), QPointF(s * 0.7, s * 0.80));
        p.drawLine(QPointF(s * 0.62, s * 0.72), QPointF(s * 0.78, s * 0.72));
        p.setPen(QPen(QColor(0xB4, 0xC6, 0xE6), s * 0.03, Qt::SolidLine, Qt::RoundCap));
        for (qreal y : {0.28, 0.38, 0.48})
            p.drawLine(QPointF(s * 0.32, s * y), QPointF(s * 0.6, s * y));
    });
    return ok ? 0 : 1;
}
