#pragma once

#include <QtGlobal>

// The Windows registry export format ("Windows Registry Editor Version 5.00"), what its
// parser (RegFileParser.h) and writer (RegFileWriter.h) share.
namespace regfile {

inline constexpr char Header[] = "Windows Registry Editor Version 5.00";

// Larger files are refused, so that no step ever works through an unbounded size.
inline constexpr qsizetype MaxFileSize = qsizetype(256) << 20;

} // namespace regfile
