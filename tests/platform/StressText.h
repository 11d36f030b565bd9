#pragma once

#include <QString>

// The text that the test writer stores as value `index` in round `round`: it names both, so
// a value read back shows which write it came from, and its length and characters (quotes,
// backslashes, non-ASCII) change from write to write.
inline QString stressText(const QString& prefix, int index, qint64 round) {
    static const QString pool = QStringLiteral("ab\"c\\d e\u00fc\u03a9\u65e5f\\\\\"g");
    QString text = QStringLiteral("%1%2@%3|").arg(prefix).arg(index).arg(round);
    const qint64 length = 20 + (round * 7 + index * 13) % 300;
    for (qint64 k = 0; k < length; ++k)
        text += pool[int((k + round + index) % pool.size())];
    return text;
}

inline QString stressName(const QString& prefix, int index) {
    return prefix + QString::number(index);
}
