#pragma once

#include <QString>

// The shell's "open" verb for documents, folders and web addresses. Failures are not
// reported: the caller goes on.
class ShellOpen {
public:
    virtual ~ShellOpen() = default;
    virtual void open(const QString& target) = 0;
};
