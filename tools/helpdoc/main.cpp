// helpdoc SOURCE.html STYLE.css OUTPUT.pdf: typesets the help document into an A4 PDF with a
// running head and page numbers. In the source, @VERSION@ becomes the program's version and
// @PAGEn@ the page on which the n-th chapter (<h1>) starts.

#include "Version.h"

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <cstdio>
#include <vector>

namespace {

QString readText(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

struct Page {
    QRectF body; // where the text goes, in the writer's pixels
    qreal headY; // baseline band of the running head
    qreal footY; // baseline band of the page number
};

// 1-based page of every chapter heading, in document order.
std::vector<int> chapterPages(QTextDocument& document, qreal bodyHeight) {
    std::vector<int> pages;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() != 1)
            continue;
        const qreal top = document.documentLayout()->blockBoundingRect(block).top();
        pages.push_back(int(top / bodyHeight) + 1);
    }
    return pages;
}

QString withPages(QString html, const std::vector<int>& pages) {
    static const QRegularExpression marker(QStringLiteral("@PAGE(\\d+)@"));
    QString result;
    qsizetype from = 0;
    for (auto it = marker.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const size_t chapter = match.captured(1).toULongLong();
        result += html.mid(from, match.capturedStart() - from);
        result += chapter >= 1 && chapter <= pages.size() ? QString::number(pages[chapter - 1])
                                                          : QStringLiteral("?");
        from = match.capturedEnd();
    }
    return result + html.mid(from);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: helpdoc SOURCE.html STYLE.css OUTPUT.pdf\n");
        return 2;
    }
    // Typesetting needs fonts, not a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const QString source = readText(QString::fromLocal8Bit(argv[1]));
    const QString style = readText(QString::fromLocal8Bit(argv[2]));
    if (source.isEmpty() || style.isEmpty()) {
        std::fprintf(stderr, "helpdoc: cannot read %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    const QString html =
        QString(source).replace(QStringLiteral("@VERSION@"), QStringLiteral(VARNHOLT_VERSION));

    QPdfWriter writer(QString::fromLocal8Bit(argv[3]));
    writer.setResolution(300);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(20, 14, 20, 14), QPageLayout::Millimeter);
    writer.setTitle(QStringLiteral("Quillon Varnholt - User's guide"));
    writer.setCreator(QStringLiteral("Quillon Varnholt ") + QStringLiteral(VARNHOLT_VERSION));

    const QRectF area = writer.pageLayout().paintRectPixels(writer.resolution());
    const qreal band = writer.resolution() * 0.42; // room for the running head and the number
    Page page{QRectF(0, band, area.width(), area.height() - 2 * band), band * 0.45,
              area.height() - band * 0.35};

    QTextDocument document;
    document.documentLayout()->setPaintDevice(&writer);
    document.setDocumentMargin(0);
    document.setDefaultFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    document.setDefaultStyleSheet(style);
    document.setPageSize(page.body.size());

    // Chapter pages go into the contents; a second layout confirms them (the numbers are short
    // and in cells of fixed width, so they move nothing).
    document.setHtml(withPages(html, {}));
    std::vector<int> pages = chapterPages(document, page.body.height());
    for (int pass = 0; pass < 3; ++pass) {
        document.setHtml(withPages(html, pages));
        const std::vector<int> again = chapterPages(document, page.body.height());
        if (again == pages)
            break;
        pages = again;
    }

    QPainter painter;
    if (!painter.begin(&writer)) {
        std::fprintf(stderr, "helpdoc: cannot write %s\n", argv[3]);
        return 1;
    }
    const int count = document.pageCount();
    const QColor accent(0x0B, 0x3D, 0x91);
    QFont small(QStringLiteral("DejaVu Sans"), 8);
    for (int index = 0; index < count; ++index) {
        if (index > 0)
            writer.newPage();
        painter.setFont(small);
        if (index > 0) {
            painter.setPen(QColor(0x5A, 0x64, 0x78));
            const QRectF head(0, 0, area.width(), page.headY);
            painter.drawText(head, Qt::AlignLeft | Qt::AlignBottom,
                             QStringLiteral("Quillon Varnholt \u2014 User\u2019s guide"));
            painter.drawText(head, Qt::AlignRight | Qt::AlignBottom,
                             QStringLiteral("Version ") + QStringLiteral(VARNHOLT_VERSION));
            painter.setPen(QPen(accent, writer.resolution() / 100.0));
            painter.drawLine(QPointF(0, page.headY + band * 0.12),
                             QPointF(area.width(), page.headY + band * 0.12));
        }
        painter.setPen(QColor(0x5A, 0x64, 0x78));
        painter.drawText(QRectF(0, page.footY - band * 0.3, area.width(), band * 0.5),
                         Qt::AlignHCenter | Qt::AlignVCenter,
                         QStringLiteral("%1 / %2").arg(index + 1).arg(count));

        painter.save();
        const QRectF slice(0, index * page.body.height(), page.body.width(), page.body.height());
        painter.translate(page.body.left(), page.body.top() - slice.top());
        painter.setClipRect(slice);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = slice;
        context.palette.setColor(QPalette::Text, QColor(0x1D, 0x23, 0x30));
        document.documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
    std::printf("helpdoc: %d pages\n", count);
    return 0;
}
