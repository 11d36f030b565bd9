// Measures the processor clock as the report does (NominalMhz over the time-stamp and
// high-resolution counters) and sets it against the kernel's own figure for the processor,
// with the ratio, and the median time one measurement takes.
//
//   bench_cpu_speed [ROUNDS]

#include "platform/Clock.h"
#include "platform/CpuId.h"
#include "sysinfo/ProcessorInfo.h"

#include "BenchSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

QTextStream out(stdout);

QString readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString firstMatch(const QString& text, const QString& pattern) {
    const QRegularExpressionMatch m =
        QRegularExpression(pattern, QRegularExpression::MultilineOption).match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

// The kernel's figure in MHz and where it came from: the rated (base) clock where cpufreq
// tells it, else the clock in the brand string, else the clock the kernel measured at boot.
std::pair<double, QString> kernelFigure() {
    const QString cpufreq = QStringLiteral("/sys/devices/system/cpu/cpu0/cpufreq/");
    for (const QString& name :
         {QStringLiteral("base_frequency"), QStringLiteral("cpuinfo_max_freq")}) {
        const double khz = readText(cpufreq + name).trimmed().toDouble();
        if (khz > 0)
            return {khz / 1000.0, cpufreq + name};
    }
    const QString cpuinfo = readText(QStringLiteral("/proc/cpuinfo"));
    const QString ghz = firstMatch(cpuinfo, QStringLiteral("^model name\\s*:.*@\\s*([0-9.]+)GHz"));
    if (ghz.toDouble() > 0)
        return {ghz.toDouble() * 1000.0, QStringLiteral("model name in /proc/cpuinfo")};
    const QString mhz = firstMatch(cpuinfo, QStringLiteral("^cpu MHz\\s*:\\s*([0-9.]+)"));
    if (mhz.toDouble() > 0)
        return {mhz.toDouble(), QStringLiteral("\"cpu MHz\" in /proc/cpuinfo")};
    return {0.0, QStringLiteral("nothing")};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 25;

    platform::CpuIdSource& cpuid = platform::SystemCpuId();
    platform::SpeedCounters& counters = platform::SystemCounters();
    const CpuIdentity info = IdentifyProcessor(cpuid, counters);
    out << "processor: " << info.Name() << "\n";
    if (!(info.Features & 0x10)) {
        out << "no time-stamp counter: the clock reads 0\n";
        return 0;
    }

    std::vector<double> micros;
    std::vector<double> raws;
    std::vector<double> norms;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const ClockMeasurement f = CpuSpeedMeasure(counters);
        micros.push_back(timer.nsecsElapsed() / 1000.0);
        raws.push_back(f.RawMhz);
        norms.push_back(f.NominalMhz);
    }
    const auto [kernelMhz, source] = kernelFigure();
    const double norm = bench::median(norms);
    out << "rounds: " << rounds << "\n";
    out << "RawFreq median: " << bench::median(raws) << " MHz (min "
        << *std::min_element(raws.begin(), raws.end()) << ", max "
        << *std::max_element(raws.begin(), raws.end()) << ")\n";
    out << "NormFreq median: " << norm << " MHz\n";
    out << "kernel figure: " << kernelMhz << " MHz (" << source << ")\n";
    if (kernelMhz > 0) {
        out << "ratio RawFreq / kernel: "
            << QString::number(bench::median(raws) / kernelMhz, 'f', 4) << "\n";
        out << "ratio NormFreq / kernel: " << QString::number(norm / kernelMhz, 'f', 4) << "\n";
    }
    out << "one measurement: median " << QString::number(bench::median(micros), 'f', 1)
        << " us (min " << QString::number(*std::min_element(micros.begin(), micros.end()), 'f', 1)
        << ", max " << QString::number(*std::max_element(micros.begin(), micros.end()), 'f', 1)
        << ")\n";
    return 0;
}
