#pragma once

#include "SteamLayout.h"

#include "game/ProcessDetection.h"

#include <QString>

// The processes whose program lies below root, so that tests with stand-ins of their own may
// run side by side.
inline ProcessSource ProcessesBelow(const QString& root) {
    ProcessSource source = SystemProcesses();
    source.enumerate = [all = source.enumerate, root] {
        auto list = all();
        if (list)
            std::erase_if(*list, [&](const platform::ProcessEntry& entry) {
                const QStringList args = testbed::processArguments(entry.pid);
                return args.isEmpty() || !args.first().startsWith(root);
            });
        return list;
    };
    return source;
}
