#pragma once

#include "SteamLayout.h"

#include "game/ProcessDetection.h"

#include <QString>

// The processes whose program lies below root, so that tests with stand-ins of their own may
// run side by side.
inline ProcessSource ProcessesBelow(const QString& root) {
    ProcessSource source = SystemProcesses();
    const auto below = [root](auto& list) {
        if (list)
            std::erase_if(*list, [&](const platform::ProcessEntry& entry) {
                const QStringList args = testbed::processArguments(entry.pid);
                return args.isEmpty() || !args.first().startsWith(root);
            });
    };
    source.enumerate = [all = source.enumerate, below] {
        auto list = all();
        below(list);
        return list;
    };
    source.enumerateNamed = [named = source.enumerateNamed,
                             below](const std::function<bool(const QString&)>& wanted) {
        auto list = named(wanted);
        below(list);
        return list;
    };
    return source;
}
