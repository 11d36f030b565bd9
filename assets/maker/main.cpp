// assetmaker: paints the program's pictures and writes its demo recording at build time.
//
//   assetmaker pictures FOLDER VERSION   every picture of the windows (see save())
//   assetmaker demo FILE                 the shipped demo recording
//   assetmaker icons FOLDER SIZE...      the installed icons: SIZE.png each, and the scalable
//                                        example.quillon.Varnholt.svg
//
// The pictures share one theme: dark steel with a blue accent, the name "Varnholt" and
// captions in DejaVu Sans, the face the program's windows use too.

#include "ui/PicturePixels.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>
#include <QtMath>

#include <cstdio>

namespace {

const QColor Deep(8, 11, 17);
const QColor Steel(29, 42, 58);
const QColor SteelLight(58, 82, 114);
const QColor Accent(74, 163, 255);
const QColor AccentDark(23, 74, 138);
const QColor Silver(192, 192, 192);
const QColor Frame(38, 54, 74);
const QColor PageFill(15, 21, 30);
const QString Face = QStringLiteral("DejaVu Sans");

QFont font(int pixelSize, bool bold = false, bool italic = false) {
    QFont f(Face);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont spaced(int pixelSize, qreal spacing, bool bold = false) {
    QFont f = font(pixelSize, bold);
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return f;
}

QImage canvas(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A name ending in ".pixels" is written as the windows load it at start, any other as PNG.
bool save(const QImage& image, const QString& folder, const QString& name) {
    const QString path = folder + QLatin1Char('/') + name;
    bool written = false;
    if (name.endsWith(QLatin1String(".pixels"))) {
        const QByteArray pixels = uilook::EncodePixels(image);
        QFile file(path);
        written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                  file.write(pixels) == pixels.size() && file.flush();
        file.close();
        written = written && file.error() == QFileDevice::NoError;
    } else {
        written = image.save(path, "PNG");
    }
    if (!written)
        std::fprintf(stderr, "assetmaker: cannot write %s\n", qPrintable(path));
    return written;
}

// Fine diagonal strokes, like brushed metal.
void brushed(QPainter& p, const QRect& area, int alpha) {
    p.save();
    p.setClipRect(area);
    p.setPen(QPen(QColor(255, 255, 255, alpha), 1));
    for (int x = area.left() - area.height(); x < area.right(); x += 3)
        p.drawLine(x, area.bottom(), x + area.height(), area.top());
    p.restore();
}

// The emblem of the program: a speed gauge with its needle near the top of the scale.
void gauge(QPainter& p, QPointF centre, qreal radius, int alpha, bool needle) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QColor ring = Accent;
    ring.setAlpha(alpha);
    p.setPen(QPen(ring, radius * 0.06, Qt::SolidLine, Qt::FlatCap));
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(box, -45 * 16, 270 * 16);
    // Ticks from 225 degrees (lowest) down to -45 degrees (highest).
    for (int i = 0; i <= 20; ++i) {
        const qreal angle = qDegreesToRadians(225.0 - i * 13.5);
        const qreal inner = radius * (i % 5 == 0 ? 0.72 : 0.82);
        QColor tick = i >= 16 ? QColor(255, 110, 80) : Silver;
        tick.setAlpha(alpha);
        p.setPen(QPen(tick, i % 5 == 0 ? radius * 0.05 : radius * 0.025));
        p.drawLine(QPointF(centre.x() + inner * qCos(angle), centre.y() - inner * qSin(angle)),
                   QPointF(centre.x() + radius * 0.9 * qCos(angle),
                           centre.y() - radius * 0.9 * qSin(angle)));
    }
    if (needle) {
        const qreal angle = qDegreesToRadians(225.0 - 14.5 * 13.5);
        QColor hand(255, 255, 255, alpha);
        p.setPen(QPen(hand, radius * 0.05, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(centre, QPointF(centre.x() + radius * 0.68 * qCos(angle),
                                   centre.y() - radius * 0.68 * qSin(angle)));
        QRadialGradient hub(centre, radius * 0.14);
        hub.setColorAt(0, QColor(200, 225, 255, alpha));
        hub.setColorAt(1, QColor(40, 70, 110, alpha));
        p.setPen(Qt::NoPen);
        p.setBrush(hub);
        p.drawEllipse(centre, radius * 0.12, radius * 0.12);
    }
    p.restore();
}

// Text filled with a silver gradient over a soft blue glow.
void logoText(QPainter& p, const QString& text, const QFont& f, QPointF baseline) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addText(baseline, f, text);
    for (int spread = 6; spread >= 2; spread -= 2) {
        p.setPen(
            QPen(QColor(74, 163, 255, 26), spread, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(path);
    }
    const QRectF bounds = path.boundingRect();
    QLinearGradient fill(bounds.topLeft(), bounds.bottomLeft());
    fill.setColorAt(0, QColor(250, 252, 255));
    fill.setColorAt(0.5, QColor(200, 212, 228));
    fill.setColorAt(0.52, QColor(150, 166, 188));
    fill.setColorAt(1, QColor(220, 230, 242));
    p.setPen(QPen(QColor(10, 20, 34), 1));
    p.setBrush(fill);
    p.drawPath(path);
    p.restore();
}

void panel(QPainter& p, const QRectF& r, const QColor& fill, const QColor& border, qreal radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    p.restore();
}

void accentLine(QPainter& p, int x1, int x2, int y) {
    QLinearGradient g(x1, y, x2, y);
    g.setColorAt(0, QColor(74, 163, 255, 0));
    g.setColorAt(0.3, Accent);
    g.setColorAt(0.7, Accent);
    g.setColorAt(1, QColor(74, 163, 255, 0));
    p.fillRect(QRect(x1, y, x2 - x1, 2), g);
}

// The main window's surface, 556 x 475.
QImage background() {
    QImage image = canvas(556, 475);
    QPainter p(&image);
    QLinearGradient base(0, 0, 0, 475);
    base.setColorAt(0, QColor(20, 28, 40));
    base.setColorAt(1, Deep);
    p.fillRect(image.rect(), base);

    // Head: brushed steel, the gauge and the name.
    const QRect head(1, 1, 554, 131);
    QLinearGradient headFill(0, 0, 0, 132);
    headFill.setColorAt(0, QColor(40, 58, 82));
    headFill.setColorAt(1, QColor(12, 18, 28));
    p.fillRect(head, headFill);
    brushed(p, head, 7);
    gauge(p, QPointF(468, 78), 64, 90, true);
    p.setFont(spaced(9, 3, true));
    p.setPen(QColor(143, 180, 221));
    p.drawText(QPoint(26, 30), QStringLiteral("QUILLON"));
    logoText(p, QStringLiteral("Varnholt"), font(44, true, true), QPointF(22, 80));
    p.setFont(spaced(10, 2.2));
    p.setPen(QColor(170, 196, 226));
    p.drawText(QPoint(26, 104), QStringLiteral("HALF-LIFE 2: EPISODE ONE BENCHMARK"));
    accentLine(p, 0, 556, 131);

    // Strip behind the three buttons of the head.
    panel(p, QRectF(274, 137, 278, 35), QColor(11, 16, 24), Frame, 4);

    // Left column (group bar on black) and the page area.
    panel(p, QRectF(4, 184, 138, 266), Qt::black, Frame, 3);
    panel(p, QRectF(148, 182, 405, 268), PageFill, Frame, 3);

    // Status strip.
    QLinearGradient status(0, 452, 0, 475);
    status.setColorAt(0, QColor(12, 17, 25));
    status.setColorAt(1, QColor(4, 6, 9));
    p.fillRect(QRect(1, 452, 554, 22), status);
    p.fillRect(QRect(1, 452, 554, 1), Frame);

    // Window edge.
    p.setPen(QColor(47, 69, 96));
    p.setBrush(Qt::NoBrush);
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// The about view, 334 x 202, shown while the page area is hidden.
QImage about(const QString& version) {
    QImage image = canvas(334, 202);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 202);
    fill.setColorAt(0, QColor(27, 39, 55));
    fill.setColorAt(1, QColor(10, 15, 22));
    panel(p, QRectF(0, 0, 334, 202), Qt::transparent, QColor(58, 87, 120), 6);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(1, 1, 332, 200), 6, 6);
    brushed(p, QRect(1, 1, 332, 200), 5);
    gauge(p, QPointF(72, 92), 52, 230, true);
    logoText(p, QStringLiteral("Varnholt"), font(30, true, true), QPointF(140, 70));
    p.setPen(QColor(170, 196, 226));
    p.setFont(font(11));
    p.drawText(QPoint(142, 92), QStringLiteral("Benchmark for"));
    p.drawText(QPoint(142, 108), QStringLiteral("Half-Life 2: Episode One"));
    p.setPen(Silver);
    p.setFont(font(11, true));
    p.drawText(QPoint(142, 132), QStringLiteral("Version ") + version);
    accentLine(p, 12, 322, 160);
    p.setFont(font(10));
    p.setPen(QColor(150, 160, 172));
    p.drawText(QRect(0, 166, 334, 30), Qt::AlignCenter,
               QStringLiteral("\u00A9 2008 Quillon. All rights reserved."));
    return image;
}

// The mode picker's surface, 228 x 502.
QImage pickerBackground() {
    QImage image = canvas(228, 502);
    QPainter p(&image);
    QLinearGradient base(0, 0, 0, 502);
    base.setColorAt(0, QColor(20, 28, 40));
    base.setColorAt(1, Deep);
    p.fillRect(image.rect(), base);
    const QRect head(1, 1, 226, 54);
    QLinearGradient headFill(0, 0, 0, 55);
    headFill.setColorAt(0, QColor(40, 58, 82));
    headFill.setColorAt(1, QColor(12, 18, 28));
    p.fillRect(head, headFill);
    brushed(p, head, 7);
    logoText(p, QStringLiteral("Display modes"), font(17, true, true), QPointF(10, 32));
    p.setFont(spaced(8, 1.5));
    p.setPen(QColor(143, 180, 221));
    p.drawText(QPoint(12, 48), QStringLiteral("VARNHOLT"));
    accentLine(p, 0, 228, 55);
    panel(p, QRectF(6, 62, 133, 437), Qt::black, Frame, 3);
    p.setPen(QColor(170, 196, 226));
    p.setFont(font(10));
    p.drawText(QRect(144, 64, 78, 44), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("Tick a size, then press:"));
    p.drawText(QRect(144, 144, 78, 90), Qt::AlignLeft | Qt::TextWordWrap,
               QStringLiteral("The first ticked size becomes the custom resolution."));
    p.setPen(QColor(47, 69, 96));
    p.setBrush(Qt::NoBrush);
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

// The upgrade wizard's side picture, 118 x 218.
QImage wizardPicture() {
    QImage image = canvas(118, 218);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, 0, 218);
    base.setColorAt(0, QColor(27, 39, 55));
    base.setColorAt(1, Deep);
    p.fillRect(image.rect(), base);
    brushed(p, image.rect(), 6);
    gauge(p, QPointF(59, 92), 44, 230, true);
    logoText(p, QStringLiteral("Varnholt"), font(19, true, true), QPointF(12, 170));
    p.setFont(spaced(8, 1.2));
    p.setPen(QColor(143, 180, 221));
    p.drawText(QRect(0, 180, 118, 16), Qt::AlignCenter, QStringLiteral("UPDATE"));
    accentLine(p, 10, 108, 204);
    return image;
}

enum class Look { Normal, Hot, Down, Disabled };

struct ButtonTheme {
    QColor top, bottom, border, text;
};

ButtonTheme theme(Look look, bool prominent) {
    switch (look) {
    case Look::Normal:
        return prominent
                   ? ButtonTheme{QColor(47, 123, 216), AccentDark, QColor(110, 170, 240), Qt::white}
                   : ButtonTheme{SteelLight, Steel, QColor(95, 133, 179), Qt::white};
    case Look::Hot:
        return prominent ? ButtonTheme{QColor(80, 155, 240), QColor(32, 96, 170),
                                       QColor(170, 215, 255), Qt::white}
                         : ButtonTheme{QColor(78, 108, 148), QColor(36, 54, 80),
                                       QColor(138, 184, 255), Qt::white};
    case Look::Down:
        return prominent
                   ? ButtonTheme{AccentDark, QColor(40, 110, 200), QColor(110, 170, 240),
                                 QColor(220, 235, 255)}
                   : ButtonTheme{Steel, SteelLight, QColor(95, 133, 179), QColor(220, 235, 255)};
    case Look::Disabled:
        return ButtonTheme{QColor(42, 47, 54), QColor(26, 29, 34), QColor(60, 66, 74),
                           QColor(106, 113, 122)};
    }
    return {};
}

QString lookName(Look look) {
    switch (look) {
    case Look::Normal:
        return QStringLiteral("normal");
    case Look::Hot:
        return QStringLiteral("hot");
    case Look::Down:
        return QStringLiteral("down");
    case Look::Disabled:
        return QStringLiteral("disabled");
    }
    return {};
}

// A rounded caption button; prominent ones (Run benchmark) are blue.
QImage captionButton(int w, int h, const QString& caption, Look look, bool prominent) {
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const ButtonTheme t = theme(look, prominent);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0, t.top);
    fill.setColorAt(1, t.bottom);
    p.setPen(QPen(t.border, 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 4, 4);
    // A faint highlight along the upper half.
    if (look != Look::Disabled && look != Look::Down) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 28));
        p.drawRoundedRect(QRectF(2, 2, w - 4, h / 2.0 - 2), 3, 3);
    }
    p.setPen(t.text);
    p.setFont(font(11, true));
    const int shift = look == Look::Down ? 1 : 0;
    p.drawText(QRect(shift, shift, w, h), Qt::AlignCenter, caption);
    return image;
}

// The small flat buttons of the window's corner: "minimize" and "exit".
QImage cornerButton(int w, int h, bool exitGlyph, Look look) {
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = look == Look::Hot    ? (exitGlyph ? QColor(190, 50, 40) : SteelLight)
                  : look == Look::Down ? (exitGlyph ? QColor(120, 30, 24) : Steel)
                                       : QColor(0, 0, 0, 0);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 0, w, h), 3, 3);
    p.setPen(
        QPen(look == Look::Normal ? Silver : QColor(Qt::white), 1.6, Qt::SolidLine, Qt::RoundCap));
    if (exitGlyph) {
        p.drawLine(QPointF(w / 2.0 - 4, h / 2.0 - 4), QPointF(w / 2.0 + 4, h / 2.0 + 4));
        p.drawLine(QPointF(w / 2.0 + 4, h / 2.0 - 4), QPointF(w / 2.0 - 4, h / 2.0 + 4));
    } else {
        p.drawLine(QPointF(w / 2.0 - 4, h / 2.0 + 3.5), QPointF(w / 2.0 + 4, h / 2.0 + 3.5));
    }
    return image;
}

// A folder for the browse buttons.
QImage browseIcon() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 2, 0, 14);
    back.setColorAt(0, QColor(120, 150, 190));
    back.setColorAt(1, QColor(60, 86, 120));
    p.setPen(QPen(QColor(30, 44, 64), 1));
    p.setBrush(back);
    QPainterPath tab;
    tab.moveTo(1.5, 3.5);
    tab.lineTo(6, 3.5);
    tab.lineTo(7.5, 5);
    tab.lineTo(14.5, 5);
    tab.lineTo(14.5, 13.5);
    tab.lineTo(1.5, 13.5);
    tab.closeSubpath();
    p.drawPath(tab);
    QLinearGradient front(0, 6, 0, 14);
    front.setColorAt(0, QColor(190, 215, 245));
    front.setColorAt(1, QColor(100, 140, 190));
    p.setBrush(front);
    QPainterPath flap;
    flap.moveTo(1.5, 13.5);
    flap.lineTo(3.5, 7.5);
    flap.lineTo(15, 7.5);
    flap.lineTo(13.5, 13.5);
    flap.closeSubpath();
    p.drawPath(flap);
    return image;
}

// The picker's close button.
QImage closeIcon() {
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient fill(QPointF(6, 5), 10);
    fill.setColorAt(0, QColor(90, 120, 160));
    fill.setColorAt(1, Steel);
    p.setPen(QPen(QColor(95, 133, 179), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
    return image;
}

// The program's icon: the gauge on a steel tile.
QImage appIcon(int size) {
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size);
    fill.setColorAt(0, QColor(44, 64, 90));
    fill.setColorAt(1, QColor(10, 15, 22));
    p.setPen(QPen(QColor(95, 133, 179), size / 32.0));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 6.0, size / 6.0);
    gauge(p, QPointF(size / 2.0, size / 2.0 + size * 0.04), size * 0.38, 255, true);
    return image;
}

// The same icon as a scalable drawing, on the 64-unit grid of appIcon(64).
QByteArray appIconSvg() {
    constexpr qreal size = 64;
    const QPointF centre(size / 2.0, size / 2.0 + size * 0.04);
    const qreal radius = size * 0.38;
    auto n = [](qreal v) { return QString::number(v, 'f', 2); };
    auto colour = [](const QColor& c) { return c.name(QColor::HexRgb); };
    auto point = [&](qreal angleDegrees, qreal distance) {
        const qreal angle = qDegreesToRadians(angleDegrees);
        return QPointF(centre.x() + distance * qCos(angle), centre.y() - distance * qSin(angle));
    };

    QString text;
    QTextStream out(&text);
    out << R"x(<?xml version="1.0" encoding="UTF-8"?>)x" << '\n'
        << R"x(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">)x"
        << '\n'
        << R"x(<defs><linearGradient id="tile" x1="0" y1="0" x2="0" y2="64" )x"
        << R"x(gradientUnits="userSpaceOnUse"><stop offset="0" stop-color=")x"
        << colour(QColor(44, 64, 90)) << R"x("/><stop offset="1" stop-color=")x"
        << colour(QColor(10, 15, 22)) << R"x("/></linearGradient>)x" << '\n'
        << R"x(<radialGradient id="hub" cx=")x" << n(centre.x()) << R"x(" cy=")x" << n(centre.y())
        << R"x(" r=")x" << n(radius * 0.14) << R"x(" gradientUnits="userSpaceOnUse">)x"
        << R"x(<stop offset="0" stop-color=")x" << colour(QColor(200, 225, 255))
        << R"x("/><stop offset="1" stop-color=")x" << colour(QColor(40, 70, 110))
        << R"x("/></radialGradient></defs>)x" << '\n';
    out << R"x(<rect x="0.5" y="0.5" width=")x" << n(size - 1) << R"x(" height=")x" << n(size - 1)
        << R"x(" rx=")x" << n(size / 6.0) << R"x(" fill="url(#tile)" stroke=")x"
        << colour(QColor(95, 133, 179)) << R"x(" stroke-width=")x" << n(size / 32.0) << R"x("/>)x"
        << '\n';
    // The scale's ring: 270 degrees from the lowest mark (225) clockwise to the highest (-45).
    const QPointF from = point(225, radius);
    const QPointF to = point(-45, radius);
    out << R"x(<path d="M )x" << n(from.x()) << ' ' << n(from.y()) << " A " << n(radius) << ' '
        << n(radius) << " 0 1 1 " << n(to.x()) << ' ' << n(to.y()) << R"x(" fill="none" stroke=")x"
        << colour(Accent) << R"x(" stroke-width=")x" << n(radius * 0.06) << R"x("/>)x" << '\n';
    auto line = [&](QPointF a, QPointF b, const QColor& c, qreal width, const char* cap) {
        out << R"x(<line x1=")x" << n(a.x()) << R"x(" y1=")x" << n(a.y()) << R"x(" x2=")x"
            << n(b.x()) << R"x(" y2=")x" << n(b.y()) << R"x(" stroke=")x" << colour(c)
            << R"x(" stroke-width=")x" << n(width) << R"x(" stroke-linecap=")x" << cap << R"x("/>)x"
            << '\n';
    };
    for (int i = 0; i <= 20; ++i) {
        const qreal angle = 225.0 - i * 13.5;
        const qreal inner = radius * (i % 5 == 0 ? 0.72 : 0.82);
        line(point(angle, inner), point(angle, radius * 0.9),
             i >= 16 ? QColor(255, 110, 80) : Silver, i % 5 == 0 ? radius * 0.05 : radius * 0.025,
             "butt");
    }
    line(centre, point(225.0 - 14.5 * 13.5, radius * 0.68), Qt::white, radius * 0.05, "round");
    out << R"x(<circle cx=")x" << n(centre.x()) << R"x(" cy=")x" << n(centre.y()) << R"x(" r=")x"
        << n(radius * 0.12) << R"x(" fill="url(#hub)"/>)x" << '\n'
        << "</svg>\n";
    out.flush();
    return text.toUtf8();
}

// The icons the installs put into the icon theme: PNG at each size, and the drawing.
bool paintIcons(const QString& folder, const QStringList& sizes) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "assetmaker: cannot create %s\n", qPrintable(folder));
        return false;
    }
    for (const QString& size : sizes) {
        bool number = false;
        const int pixels = size.toInt(&number);
        if (!number || pixels < 16 || pixels > 1024) {
            std::fprintf(stderr, "assetmaker: not an icon size: %s\n", qPrintable(size));
            return false;
        }
        if (!save(appIcon(pixels), folder, size + QStringLiteral(".png")))
            return false;
    }
    const QString svgPath = folder + QStringLiteral("/example.quillon.Varnholt.svg");
    const QByteArray svg = appIconSvg();
    QFile file(svgPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(svg) != svg.size() ||
        !file.flush()) {
        std::fprintf(stderr, "assetmaker: cannot write %s\n", qPrintable(svgPath));
        return false;
    }
    return true;
}

bool paintAll(const QString& folder, const QString& version) {
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "assetmaker: cannot create %s\n", qPrintable(folder));
        return false;
    }
    bool ok = save(background(), folder, QStringLiteral("background.pixels")) &&
              save(about(version), folder, QStringLiteral("about.pixels")) &&
              save(pickerBackground(), folder, QStringLiteral("picker.pixels")) &&
              save(wizardPicture(), folder, QStringLiteral("wizard.png")) &&
              save(browseIcon(), folder, QStringLiteral("browse.pixels")) &&
              save(closeIcon(), folder, QStringLiteral("close.pixels")) &&
              save(appIcon(64), folder, QStringLiteral("icon64.pixels")) &&
              save(appIcon(32), folder, QStringLiteral("icon32.pixels"));
    struct Caption {
        const char* name;
        int width;
        const char* caption;
        bool prominent;
    };
    const Caption captions[] = {{"bench", 102, "Run benchmark", true},
                                {"update", 72, "Update", false},
                                {"site", 94, "Visit our site", false},
                                {"help", 51, "Help", false}};
    for (Look look : {Look::Normal, Look::Hot, Look::Down, Look::Disabled}) {
        for (const Caption& c : captions)
            ok = ok &&
                 save(captionButton(c.width, 24, QString::fromLatin1(c.caption), look, c.prominent),
                      folder, QStringLiteral("%1_%2.pixels").arg(c.name, lookName(look)));
        ok = ok && save(cornerButton(17, 17, false, look), folder,
                        QStringLiteral("minimize_%1.pixels").arg(lookName(look)));
        ok = ok && save(cornerButton(18, 17, true, look), folder,
                        QStringLiteral("exit_%1.pixels").arg(lookName(look)));
    }
    return ok;
}

// A Source engine demo recording: the 1072-byte header ("HL2DEMO", demo protocol 3, network
// protocol 7, server, client, map and game folder names, time, ticks, frames, sign-on length)
// for map "ep1_c17_00" in "episodic", followed by the stop command that ends a recording.
bool writeDemo(const QString& path) {
    QByteArray bytes;
    auto put32 = [&bytes](quint32 v) {
        for (int i = 0; i < 4; ++i)
            bytes.append(char((v >> (8 * i)) & 0xFF));
    };
    auto putText = [&bytes](const char* text, int width) {
        QByteArray field(text);
        field.resize(width, '\0');
        bytes.append(field);
    };
    putText("HL2DEMO", 8);
    put32(3);
    put32(7);
    putText("localhost:27015", 260);
    putText("Varnholt", 260);
    putText("ep1_c17_00", 260);
    putText("episodic", 260);
    put32(0);              // playback time 0.0 as a float
    put32(0);              // ticks
    put32(0);              // frames
    put32(0);              // sign-on length
    bytes.append(char(7)); // dem_stop
    put32(0);              // its tick
    bytes.append(char(0)); // its player slot
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "assetmaker: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && QByteArray(argv[1]) == "pictures") {
        QGuiApplication app(argc, argv);
        return paintAll(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3])) ? 0 : 1;
    }
    if (argc >= 4 && QByteArray(argv[1]) == "icons") {
        QGuiApplication app(argc, argv);
        QStringList sizes;
        for (int i = 3; i < argc; ++i)
            sizes << QString::fromLocal8Bit(argv[i]);
        return paintIcons(QString::fromLocal8Bit(argv[2]), sizes) ? 0 : 1;
    }
    if (argc == 3 && QByteArray(argv[1]) == "demo")
        return writeDemo(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    std::fprintf(stderr, "usage: assetmaker pictures FOLDER VERSION | assetmaker demo FILE | "
                         "assetmaker icons FOLDER SIZE...\n");
    return 2;
}
