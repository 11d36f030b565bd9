#pragma once

#include <QtGlobal>

// The processor identification instruction, behind an interface so that the identification
// rules can be run against recorded register values.
namespace platform {

struct CpuIdRegisters {
    quint32 eax = 0;
    quint32 ebx = 0;
    quint32 ecx = 0;
    quint32 edx = 0;
};

class CpuIdSource {
public:
    virtual ~CpuIdSource() = default;
    // Whether the processor has the identification instruction at all.
    virtual bool Available() = 0;
    // The registers one leaf (and sub-leaf) answers with.
    virtual CpuIdRegisters Query(quint32 leaf, quint32 subleaf = 0) = 0;
};

// The processor we run on. On processors other than x86 the instruction is not available.
CpuIdSource& SystemCpuId();

} // namespace platform
