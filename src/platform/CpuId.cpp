#include "platform/CpuId.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define VARNHOLT_HAS_CPUID 1
#endif

namespace platform {

namespace {

class NativeCpuId final : public CpuIdSource {
public:
    bool Available() override {
#ifdef VARNHOLT_HAS_CPUID
        // Tests the ID bit of the flags register on 32-bit builds; always there on x86-64.
        return __get_cpuid_max(0, nullptr) != 0;
#else
        return false;
#endif
    }

    CpuIdRegisters Query(quint32 leaf, quint32 subleaf) override {
        CpuIdRegisters r;
#ifdef VARNHOLT_HAS_CPUID
        unsigned a = 0, b = 0, c = 0, d = 0;
        // The raw instruction: the leaf is asked even above the highest one reported, as
        // the identification rules decide themselves which leaves they trust.
        __cpuid_count(leaf, subleaf, a, b, c, d);
        r = {a, b, c, d};
#else
        Q_UNUSED(leaf);
        Q_UNUSED(subleaf);
#endif
        return r;
    }
};

} // namespace

CpuIdSource& SystemCpuId() {
    static NativeCpuId source;
    return source;
}

} // namespace platform
