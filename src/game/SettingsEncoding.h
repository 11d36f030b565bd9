#pragma once

#include "model/BenchmarkSettings.h"

#include <QString>
#include <optional>

// How each option is written into the program key, and how a stored text is taken back at
// start-up. Anything a decoder does not recognise gives "no choice".

// Item indexes are decimal digits without sign or leading zeros.
QString EncodeIndex(int index);
std::optional<int> DecodeIndex(const QString& text, int itemCount);

QString EncodeFlag(bool set); // "1" or "0"
bool DecodeTickedOnlyWhenOne(const QString& text);
bool DecodeSetUnlessZero(const QString& text);

QString EncodeRunNumber(int index); // item 0..4 -> "1".."5"
std::optional<int> DecodeRunNumber(const QString& text);

QString EncodeDemo(DemoKind kind); // "1" shipped, "2" custom
std::optional<DemoKind> DecodeDemo(const QString& text);

QString EncodeHeapSize(int index); // "64000" ... "1024000"
std::optional<int> DecodeHeapSize(const QString& text);

QString EncodeRefresh(int index); // "60", "70", "75", "85"
std::optional<int> DecodeRefresh(const QString& text);
