#include "process/TopLevelErrorReport.h"

#include <QtGlobal>

namespace {

TopLevelErrorReport& installed() {
    static TopLevelErrorReport report;
    return report;
}

} // namespace

void setTopLevelErrorReport(TopLevelErrorReport report) {
    installed() = std::move(report);
}

void reportTopLevelError(const std::exception& error) {
    if (installed())
        installed()(error);
    else
        qWarning("Uncaught error: %s", error.what());
}
