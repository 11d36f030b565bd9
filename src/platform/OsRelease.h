#pragma once

#include <QByteArray>

namespace platform {

// The operating system's identification file (/etc/os-release, or /usr/lib/os-release where
// only that one exists); empty when neither can be read.
QByteArray ReadOsReleaseFile();

} // namespace platform
