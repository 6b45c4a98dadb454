#include "ui/image_string.h"

#include <QPainter>
#include <QPixmap>
#include <QString>
#include <QStringList>

#include "ui/skin.h"

namespace ui {

// No image or control comes near this; beyond it the edge and scale arithmetic of
// painting would overflow, so such a rectangle counts as unparsable.
static constexpr int kMaxImageCoordinate = 1 << 20;

static QRect parseRect(const QString& text) {
    QStringList parts = text.split(',');
    if (parts.size() != 4)
        return {};
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[i] < -kMaxImageCoordinate || v[i] > kMaxImageCoordinate)
            return {};
    }
    return QRect(QPoint(v[0], v[1]), QPoint(v[2] - 1, v[3] - 1));
}

bool readQuotedPairs(const QString& text, QuotedPairs& out) {
    int i = 0;
    const int n = text.size();
    while (i < n) {
        while (i < n && text[i].isSpace())
            ++i;
        if (i >= n)
            break;
        int start = i;
        while (i < n && text[i] != '=' && !text[i].isSpace())
            ++i;
        QString key = text.mid(start, i - start);
        while (i < n && (text[i].isSpace() || text[i] == '='))
            ++i;
        if (i >= n || (text[i] != '\'' && text[i] != '"'))
            return false;
        QChar quote = text[i++];
        start = i;
        while (i < n && text[i] != quote)
            ++i;
        out.emplace_back(key, text.mid(start, i - start));
        if (i >= n)
            return false;
        ++i;
    }
    return true;
}

ImageSpec parseImageString(const std::string& text) {
    ImageSpec img;
    QString s = QString::fromStdString(text).trimmed();
    if (s.isEmpty())
        return img;
    if (!s.contains('=')) {
        img.file = s.toStdString();
        return img;
    }
    QuotedPairs pairs;
    if (!readQuotedPairs(s, pairs))
        return {};
    for (const auto& [name, value] : pairs) {
        const QString key = name.toLower();
        if (key == "file") {
            img.file = value.toStdString();
        } else if (key == "source") {
            img.source = parseRect(value);
        } else if (key == "dest") {
            img.dest = parseRect(value);
        } else if (key == "corner") {
            QRect r = parseRect(value);
            img.corner = QMargins(r.left(), r.top(), r.right() + 1, r.bottom() + 1);
        } else if (key == "restype") {
            img.full_path = value.compare("fullpath", Qt::CaseInsensitive) == 0;
        }
    }
    return img;
}

bool paintImage(QPainter& painter, const QRect& target, const ImageSpec& img) {
    if (img.empty())
        return false;
    QPixmap pixmap = skin().image(img.file, img.full_path);
    if (pixmap.isNull())
        return false;
    QRect source = img.source.isNull() ? pixmap.rect() : img.source.intersected(pixmap.rect());
    QRect dest = target;
    if (!img.dest.isNull()) {
        const Skin& s = skin();
        dest = QRect(target.left() + s.scaled(img.dest.left()), target.top() + s.scaled(img.dest.top()),
                     s.scaled(img.dest.width()), s.scaled(img.dest.height()));
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QMargins c = img.corner;
    if (c.isNull()) {
        painter.drawPixmap(dest, pixmap, source);
        return true;
    }
    // Nine-slice: the corners keep their size (scaled to the display), edges stretch
    // one way, the middle both ways.
    const Skin& s = skin();
    const int sl = c.left(), st = c.top(), sr = c.right(), sb = c.bottom();
    const int dl = s.scaled(sl), dt = s.scaled(st), dr = s.scaled(sr), db = s.scaled(sb);
    const int sx[4] = {source.left(), source.left() + sl, source.right() + 1 - sr, source.right() + 1};
    const int sy[4] = {source.top(), source.top() + st, source.bottom() + 1 - sb, source.bottom() + 1};
    const int dx[4] = {dest.left(), dest.left() + dl, dest.right() + 1 - dr, dest.right() + 1};
    const int dy[4] = {dest.top(), dest.top() + dt, dest.bottom() + 1 - db, dest.bottom() + 1};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            QRect from(QPoint(sx[col], sy[row]), QPoint(sx[col + 1] - 1, sy[row + 1] - 1));
            QRect to(QPoint(dx[col], dy[row]), QPoint(dx[col + 1] - 1, dy[row + 1] - 1));
            if (from.width() > 0 && from.height() > 0 && to.width() > 0 && to.height() > 0)
                painter.drawPixmap(to, pixmap, from);
        }
    }
    return true;
}

}  // namespace ui
