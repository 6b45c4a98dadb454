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

bool drawRect(const QString& dir, const QString& name, int w, int h,
              const std::function<void(QPainter&, qreal, qreal)>& paint) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        paint(p, w, h);
    }
    const bool ok = image.save(dir + "/" + name);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(name));
    return ok;
}

// Row buttons: 32 units, a line glyph in the middle half.
QPen rowPen(qreal s, QColor color = kGlyph) {
    return QPen(color, s * 0.06, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

// The outline through `points`, given as fractions of the image size `s`; closed unless
// told otherwise.
QPainterPath unitPath(qreal s, std::initializer_list<QPointF> points, bool closed = true) {
    QPainterPath path;
    bool first = true;
    for (const QPointF& point : points) {
        if (first)
            path.moveTo(point * s);
        else
            path.lineTo(point * s);
        first = false;
    }
    if (closed)
        path.closeSubpath();
    return path;
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
        const QPainterPath back = unitPath(s, {{0.42, 0.35}, {0.63, 0.35}, {0.63, 0.56}}, false);
        p.drawPath(back);
    });
    ok &= draw(dir, "menu.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        for (qreal y : {0.38, 0.5, 0.62})
            p.drawLine(QPointF(s * 0.36, s * y), QPointF(s * 0.64, s * y));
    });
    ok &= draw(dir, "toolbox.png", 64, [](QPainter& p, qreal s) {
        p.setPen(glyphPen(s));
        p.setBrush(Qt::NoBrush);
        for (qreal x : {0.33, 0.53})
            for (qreal y : {0.33, 0.53})
                p.drawRoundedRect(QRectF(s * x, s * y, s * 0.14, s * 0.14), s * 0.03, s * 0.03);
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
        const QPainterPath tri = unitPath(s, {{0.5, 0.08}, {0.95, 0.88}, {0.05, 0.88}});
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
        const QPainterPath play = unitPath(s, {{0.40, 0.32}, {0.70, 0.50}, {0.40, 0.68}});
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

    // List rows.
    ok &= draw(dir, "row_play.png", 64, [](QPainter& p, qreal s) {
        const QPainterPath play = unitPath(s, {{0.38, 0.28}, {0.72, 0.5}, {0.38, 0.72}});
        p.setPen(rowPen(s));
        p.setBrush(kGlyph);
        p.drawPath(play);
    });
    ok &= draw(dir, "row_folder.png", 64, [](QPainter& p, qreal s) {
        const QPainterPath f =
            unitPath(s, {{0.24, 0.32}, {0.42, 0.32}, {0.47, 0.38}, {0.76, 0.38}, {0.76, 0.70}, {0.24, 0.70}});
        p.setPen(rowPen(s));
        p.drawPath(f);
    });
    ok &= draw(dir, "row_retry.png", 64, [](QPainter& p, qreal s) {
        p.setPen(rowPen(s));
        p.drawArc(QRectF(s * 0.28, s * 0.28, s * 0.44, s * 0.44), 60 * 16, 280 * 16);
        const QPainterPath head = unitPath(s, {{0.56, 0.20}, {0.68, 0.31}, {0.53, 0.36}}, false);
        p.drawPath(head);
    });
    auto arrow = [](QPainter& p, qreal s, bool up) {
        p.setPen(rowPen(s));
        const qreal tip = up ? 0.30 : 0.70, back = up ? 0.46 : 0.54;
        p.drawLine(QPointF(s * 0.5, s * 0.30), QPointF(s * 0.5, s * 0.70));
        p.drawLine(QPointF(s * 0.34, s * back), QPointF(s * 0.5, s * tip));
        p.drawLine(QPointF(s * 0.66, s * back), QPointF(s * 0.5, s * tip));
    };
    ok &= draw(dir, "row_up.png", 64, [&](QPainter& p, qreal s) { arrow(p, s, true); });
    ok &= draw(dir, "row_down.png", 64, [&](QPainter& p, qreal s) { arrow(p, s, false); });
    ok &= draw(dir, "row_clip.png", 64, [](QPainter& p, qreal s) {
        p.setPen(rowPen(s));
        p.drawEllipse(QPointF(s * 0.34, s * 0.64), s * 0.08, s * 0.08);
        p.drawEllipse(QPointF(s * 0.66, s * 0.64), s * 0.08, s * 0.08);
        p.drawLine(QPointF(s * 0.40, s * 0.58), QPointF(s * 0.64, s * 0.26));
        p.drawLine(QPointF(s * 0.60, s * 0.58), QPointF(s * 0.36, s * 0.26));
    });
    ok &= draw(dir, "row_delete.png", 64, [](QPainter& p, qreal s) {
        p.setPen(rowPen(s));
        p.drawLine(QPointF(s * 0.28, s * 0.32), QPointF(s * 0.72, s * 0.32));
        p.drawLine(QPointF(s * 0.43, s * 0.32), QPointF(s * 0.45, s * 0.25));
        p.drawLine(QPointF(s * 0.45, s * 0.25), QPointF(s * 0.55, s * 0.25));
        p.drawLine(QPointF(s * 0.55, s * 0.25), QPointF(s * 0.57, s * 0.32));
        const QPainterPath bin = unitPath(s, {{0.34, 0.38}, {0.37, 0.74}, {0.63, 0.74}, {0.66, 0.38}}, false);
        p.drawPath(bin);
    });
    ok &= draw(dir, "row_stop.png", 64, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xE5, 0x48, 0x4D));
        p.drawRoundedRect(QRectF(s * 0.34, s * 0.34, s * 0.32, s * 0.32), s * 0.05, s * 0.05);
    });
    ok &= draw(dir, "row_rename.png", 40, [](QPainter& p, qreal s) {
        p.setPen(rowPen(s, kAccent));
        p.drawLine(QPointF(s * 0.28, s * 0.72), QPointF(s * 0.68, s * 0.32));
        p.drawLine(QPointF(s * 0.24, s * 0.78), QPointF(s * 0.30, s * 0.78));
    });
    ok &= draw(dir, "row_success.png", 64, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x22, 0xA0, 0x6B));
        p.drawEllipse(QRectF(s * 0.22, s * 0.22, s * 0.56, s * 0.56));
        p.setPen(QPen(Qt::white, s * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QPainterPath check = unitPath(s, {{0.38, 0.5}, {0.47, 0.59}, {0.63, 0.42}}, false);
        p.setBrush(Qt::NoBrush);
        p.drawPath(check);
    });
    ok &= draw(dir, "row_fail.png", 64, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xE5, 0x48, 0x4D));
        p.drawEllipse(QRectF(s * 0.22, s * 0.22, s * 0.56, s * 0.56));
        p.setPen(QPen(Qt::white, s * 0.07, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(s * 0.5, s * 0.34), QPointF(s * 0.5, s * 0.52));
        p.drawPoint(QPointF(s * 0.5, s * 0.65));
    });
    // The cover's place until the probe has cut one: a film frame, 96 x 54 units.
    ok &= drawRect(dir, "row_cover.png", 192, 108, [](QPainter& p, qreal w, qreal h) {
        p.setPen(QPen(QColor(0xB4, 0xBB, 0xC6), h * 0.04, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawRoundedRect(QRectF(w * 0.38, h * 0.3, w * 0.24, h * 0.4), h * 0.04, h * 0.04);
        QPainterPath play;
        play.moveTo(w * 0.47, h * 0.41);
        play.lineTo(w * 0.55, h * 0.5);
        play.lineTo(w * 0.47, h * 0.59);
        play.closeSubpath();
        p.setBrush(QColor(0xB4, 0xBB, 0xC6));
        p.drawPath(play);
    });
    // The conversion's progress: 20 frames of 44 x 44 pixels, frame k a ring k/20 full.
    ok &= drawRect(dir, "pic_recode_progress.png", 880, 44, [](QPainter& p, qreal, qreal h) {
        for (int k = 1; k <= 20; ++k) {
            const QRectF ring(44.0 * (k - 1) + 4, 4, h - 8, h - 8);
            p.setPen(QPen(QColor(0xE3, 0xE8, 0xF0), 3.5));
            p.drawEllipse(ring);
            p.setPen(QPen(kAccent, 3.5, Qt::SolidLine, Qt::RoundCap));
            p.drawArc(ring, 90 * 16, -k * 360 * 16 / 20);
        }
    });
    // Player transport: 32 units. Play and pause sit on an accent disc.
    auto transport = [](QPainter& p, qreal s, bool play) {
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88));
        p.setBrush(Qt::white);
        if (play) {
            const QPainterPath tri = unitPath(s, {{0.41, 0.32}, {0.69, 0.5}, {0.41, 0.68}});
            p.drawPath(tri);
        } else {
            p.drawRoundedRect(QRectF(s * 0.36, s * 0.33, s * 0.1, s * 0.34), s * 0.02, s * 0.02);
            p.drawRoundedRect(QRectF(s * 0.54, s * 0.33, s * 0.1, s * 0.34), s * 0.02, s * 0.02);
        }
    };
    ok &= draw(dir, "play.png", 64, [&](QPainter& p, qreal s) { transport(p, s, true); });
    ok &= draw(dir, "pause.png", 64, [&](QPainter& p, qreal s) { transport(p, s, false); });
    // Two triangles pointing the way of the jump.
    auto jump = [](QPainter& p, qreal s, bool forward) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyph);
        for (qreal x0 : {0.3, 0.5}) {
            QPainterPath tri;
            const qreal a = forward ? x0 : 1.0 - x0, b = forward ? x0 + 0.2 : 1.0 - x0 - 0.2;
            tri.moveTo(s * a, s * 0.36);
            tri.lineTo(s * b, s * 0.5);
            tri.lineTo(s * a, s * 0.64);
            tri.closeSubpath();
            p.drawPath(tri);
        }
    };
    ok &= draw(dir, "fast_forward.png", 64, [&](QPainter& p, qreal s) { jump(p, s, true); });
    ok &= draw(dir, "fast_backward.png", 64, [&](QPainter& p, qreal s) { jump(p, s, false); });
    // A speaker with two waves, 24 units.
    ok &= draw(dir, "volume.png", 48, [](QPainter& p, qreal s) {
        const QPainterPath body =
            unitPath(s, {{0.16, 0.4}, {0.3, 0.4}, {0.48, 0.24}, {0.48, 0.76}, {0.3, 0.6}, {0.16, 0.6}});
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyph);
        p.drawPath(body);
        p.setPen(QPen(kGlyph, s * 0.06, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.36, s * 0.32, s * 0.28, s * 0.36), -50 * 16, 100 * 16);
        p.drawArc(QRectF(s * 0.3, s * 0.2, s * 0.5, s * 0.6), -50 * 16, 100 * 16);
    });
    // The audio page's picture: a note on a soft disc, 96 units.
    ok &= draw(dir, "audio_only.png", 192, [](QPainter& p, qreal s) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2D, 0x7F, 0xF9, 40));
        p.drawEllipse(QRectF(s * 0.04, s * 0.04, s * 0.92, s * 0.92));
        p.setBrush(kAccent);
        p.drawEllipse(QPointF(s * 0.4, s * 0.66), s * 0.09, s * 0.075);
        p.drawEllipse(QPointF(s * 0.66, s * 0.6), s * 0.09, s * 0.075);
        p.setPen(QPen(kAccent, s * 0.035, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        const QPainterPath stem = unitPath(s, {{0.48, 0.66}, {0.48, 0.3}, {0.74, 0.24}, {0.74, 0.6}}, false);
        p.drawPath(stem);
    });
    return ok ? 0 : 1;
}
