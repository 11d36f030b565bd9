#include "run/ReportLines.h"

#include "model/Maker.h"
#include "model/OptionLists.h"
#include "platform/SafeFile.h"

namespace {

constexpr quint64 MiB = 1048576;
constexpr quint64 GiB = 1073741824;

// `scaled` hundredths (or tenths, ...) written with `decimals` decimals and the locale's
// separator; digits stay ASCII as in any "%f" text.
QString fixedPoint(quint64 scaled, int decimals, const QLocale& locale) {
    quint64 unit = 1;
    for (int i = 0; i < decimals; ++i)
        unit *= 10;
    return QString::number(scaled / unit) + locale.decimalPoint() +
           QStringLiteral("%1").arg(scaled % unit, decimals, 10, QLatin1Char('0'));
}

// `bytes` / `divisor` with `decimals` decimals, halves rounded away from zero as "%f" does.
// Integer arithmetic keeps the result exact; the byte counts concerned have at most 10 digits.
QString divided(quint64 bytes, quint64 divisor, int decimals, const QLocale& locale) {
    quint64 unit = 1;
    for (int i = 0; i < decimals; ++i)
        unit *= 10;
    return fixedPoint((bytes * unit + divisor / 2) / divisor, decimals, locale);
}

QString factLine(const QString& label, const QString& value) {
    return QStringLiteral("   <FONT size=2><b>") + label + QStringLiteral("</b> ") + value +
           QStringLiteral("</FONT><br>");
}

const QString VgaHeading =
    QStringLiteral("   <align=\"left\"><span class=\"style4\">VGA Information</span><br>");

} // namespace

std::optional<QString> SystemMemoryLine(quint64 totalBytes, const QLocale& locale) {
    const qsizetype digits = QString::number(totalBytes).size();
    const QString start = QStringLiteral("   <FONT size=2><b>System memory:</b> ");
    const QString end = QStringLiteral("</FONT><br>");
    if (digits >= 11)
        return start + QString::number(totalBytes / GiB) + QStringLiteral("GB") + end;
    if (digits == 10)
        return start + divided(totalBytes, GiB, 1, locale) + QStringLiteral(" GB ") + end;
    if (digits >= 8)
        return start + divided(totalBytes, MiB, 2, locale) + QStringLiteral(" MB ") + end;
    return std::nullopt;
}

QStringList VgaLines(const SystemFacts& facts) {
    QStringList lines;
    if (facts.RadeonFound) {
        lines << VgaHeading << factLine(QStringLiteral("Graphics card:"), facts.RadeonName);
        if (!facts.BusType.isEmpty() && !facts.MemoryType.isEmpty())
            lines << factLine(QStringLiteral("Bustype:"), facts.BusType);
        lines << factLine(QStringLiteral("Memory:"), facts.DisplayMemory)
              << factLine(QStringLiteral("Current VPU speed:"), facts.RadeonEngineClock)
              << factLine(QStringLiteral("Current memory speed:"), facts.RadeonMemoryClock)
              << factLine(QStringLiteral("Driver version:"), facts.DriverVersion);
    }
    if (facts.DisplayClassFound) {
        lines << VgaHeading << factLine(QStringLiteral("Graphics card:"), facts.DriverDescription)
              << factLine(QStringLiteral("Memory:"), facts.DisplayMemory)
              << factLine(QStringLiteral("Current GPU speed:"), facts.GpuClock)
              << factLine(QStringLiteral("Current memory speed:"), facts.MemoryClock)
              << factLine(QStringLiteral("Driver version:"), facts.DriverVersion);
    }
    if (!facts.RadeonFound && !facts.DisplayClassFound) {
        lines << VgaHeading << factLine(QStringLiteral("Graphics card:"), facts.AdapterName)
              << factLine(QStringLiteral("Memory:"), facts.DisplayMemory)
              << factLine(QStringLiteral("Driver version:"), facts.DriverVersion);
    }
    return lines;
}

QStringList ReportHead(const QString& startTimeText, const SystemFacts& facts, const QString& note,
                       const QLocale& locale) {
    QStringList lines = {
        QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" "
                       "\"http://www.w3.org/TR/html4/loose.dtd\">"),
        QStringLiteral("<html>"),
        QStringLiteral("<head>"),
        QStringLiteral("<title>Varnholt - ") + QLatin1String(MakerWebHost) +
            QStringLiteral("</title>"),
        QStringLiteral("<style type=\"text/css\">"),
        QStringLiteral("<!--"),
        QStringLiteral(".style4 {"),
        QStringLiteral("\tcolor: #0066FF;"),
        QStringLiteral("\tfont-weight: bold;"),
        QStringLiteral("}"),
        QStringLiteral(".style5 {color: #990000}"),
        QStringLiteral(".style6 {color: #0066FF}"),
        QStringLiteral(".style7 {"),
        QStringLiteral("font-size: 36px;"),
        QStringLiteral("font-weight: bold;)"),
        QStringLiteral("}"),
        QStringLiteral("-->"),
        QStringLiteral("</style>"),
        QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; "
                       "charset=iso-8859-1\"></head>"),
        QStringLiteral("<body>"),
        QStringLiteral("<p align=\"center\" class=\"style7\">Varnholt</p><br>"),
        QStringLiteral("   <FONT size=2>The benchmark started at ") + startTimeText +
            QStringLiteral("</FONT><br>"),
        QStringLiteral("<p align=\"left\"><span class=\"style4\">System Information<br></span>"),
        factLine(QStringLiteral("Operating system:"), facts.OsProductName),
    };
    if (const std::optional<QString> memory = SystemMemoryLine(facts.TotalPhysicalMemory, locale))
        lines << *memory;
    lines << factLine(QStringLiteral("CPU:"), facts.CpuName)
          << factLine(QStringLiteral("CPU speed:"),
                      QString::number(facts.CpuNormFreq) + QStringLiteral(" MHz"))
          << factLine(QStringLiteral("Sound system:"), facts.SoundDevice);
    lines << VgaLines(facts);
    if (!note.isEmpty())
        lines << QStringLiteral("<FONT size=2><span class=\"style6\">Comment:</span> ") + note +
                     QStringLiteral("</FONT><br>");
    lines << QStringLiteral("<hr>");
    return lines;
}

QStringList ReportRowBlock(const ResolutionSlot& slot, const BenchmarkSettings& settings,
                           const QString& demoCaption) {
    const auto option = [](const QString& label, const QString& value) {
        return QStringLiteral("<b>") + label + QStringLiteral("</b> ") + value +
               QStringLiteral("<br>");
    };
    return {
        QStringLiteral("<BR><B><FONT size=5>") + slot.ReportCaption +
            QStringLiteral("</FONT></B><BR>"),
        option(QStringLiteral("Demo:"), demoCaption),
        option(QStringLiteral("Detail:"),
               DetailReportCaption(settings.DetailLevel) + QStringLiteral(" quality")),
        option(QStringLiteral("High Dynamic Range:"), ItemCaption(HdrItems(), settings.HdrMode)),
        option(QStringLiteral("Heapsize:"), ItemCaption(HeapSizeItems(), settings.HeapSize)),
        option(QStringLiteral("Antialising mode:"),
               ItemCaption(AntialiasingItems(), settings.AntialiasingMode)),
        option(QStringLiteral("Filtering mode:"),
               ItemCaption(FilteringItems(), settings.FilteringMode)),
        option(QStringLiteral("Fast Z:"), FastZReportCaption(settings.FastZ)),
        option(QStringLiteral("Color Correction:"),
               ColorCorrectionReportCaption(settings.ColorCorrection)),
    };
}

QStringList SingleRunScoreLines(const QString& scoreText) {
    return {QStringLiteral("<span class=\"style5\"><b>Score = ") + scoreText +
                QStringLiteral(" FPS</b></span><br>"),
            QStringLiteral("<br><HR>")};
}

QString RunScoreLine(int score) {
    return QStringLiteral("<b>Score = ") + QString::number(score) + QStringLiteral(" FPS</b><br>");
}

QStringList AverageScoreLines(int average) {
    return {QStringLiteral("<span class=\"style5\"><b>Average score = ") +
                QString::number(average) + QStringLiteral(" FPS</b></span><br>"),
            QStringLiteral("<br><HR>")};
}

QStringList ReportFooter() {
    return {QStringLiteral("<P></P>"), QStringLiteral("<CENTER>") +
                                           QLatin1String(MakerCopyrightNotice) +
                                           QStringLiteral("</CENTER><BR></BODY></HTML>")};
}

QString SeriesStamp(const QString& startTimeText) {
    QString stamp = startTimeText;
    for (const QChar c : {u':', u'.', u'/', u'-', u'\\', u' '})
        stamp.replace(c, QLatin1Char('_'));
    return stamp;
}

QString ReportFilePath(const QString& resultsFolder, const QString& seriesStamp) {
    return resultsFolder + QStringLiteral("result_") + seriesStamp + QStringLiteral(".htm");
}

QByteArray EncodeReportLatin1(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        for (qsizetype i = 0; i < line.size(); ++i) {
            const char16_t unit = line.at(i).unicode();
            if (unit <= 0xFF) {
                bytes.append(static_cast<char>(unit));
                continue;
            }
            char32_t codePoint = unit;
            if (QChar::isHighSurrogate(unit) && i + 1 < line.size() &&
                line.at(i + 1).isLowSurrogate()) {
                codePoint = QChar::surrogateToUcs4(unit, line.at(i + 1).unicode());
                ++i;
            } else if (QChar::isSurrogate(unit)) {
                codePoint = 0xFFFD; // half a pair names no character
            }
            bytes.append("&#").append(QByteArray::number(static_cast<quint32>(codePoint)));
            bytes.append(';');
        }
        bytes.append("\r\n");
    }
    return bytes;
}

void SaveReport(const QStringList& lines, const QString& path) {
    platform::WriteFileAtomically(path, EncodeReportLatin1(lines));
}
