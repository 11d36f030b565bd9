#include "model/BenchmarkSettings.h"

int SeriesRunCount(int runCount) {
    return runCount >= 1 && runCount <= 5 ? runCount : 1;
}

QString ResultsFolderFromChosen(const QString& chosenPath) {
    if (chosenPath.endsWith(QLatin1Char('/')))
        return chosenPath;
    return chosenPath + QLatin1Char('/');
}

QString DefaultResultsFolder(const QString& programFolder) {
    return programFolder + QStringLiteral("Benchmark/");
}
