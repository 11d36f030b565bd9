// The release manifest as it comes from the server: its body and the signed whole.
#include "update/ReleaseManifest.h"

#include <QByteArray>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (const std::optional<ReleaseManifest> manifest = ParseManifestBody(text)) {
        if (text.size() > ManifestLimits::Bytes || manifest->Files.size() > ManifestLimits::Files ||
            manifest->Version.isEmpty() || !manifest->Expires.isValid())
            __builtin_trap();
        for (const ManifestFile& file : manifest->Files) {
            if (file.Sha256.size() != 32 || file.Size < 0 || file.Entry.isEmpty())
                __builtin_trap();
            ManifestTargetKey(file.Entry);
        }
        // What is read back is what would be written.
        if (ParseManifestBody(ManifestBody(*manifest)) != manifest)
            __builtin_trap();
    }
    // No key verifies anything here: whatever the text, nothing passes as signed.
    if (ParseManifest(text, QByteArray(32, '\0')).Problem == ManifestProblem::None)
        __builtin_trap();
    return 0;
}
