#pragma once

#include <exception>
#include <functional>

// Where errors go that nothing caught on their way to the event loop (a handler called from a
// queued event, for instance). The window installs its report at start-up; until then they are
// written as warnings.
using TopLevelErrorReport = std::function<void(const std::exception&)>;

// An empty function restores the default.
void setTopLevelErrorReport(TopLevelErrorReport report);
void reportTopLevelError(const std::exception& error);
