#pragma once

#include <QByteArray>
#include <QString>

// 8-bit text in the Windows Western code page (1252), the code page the program's 8-bit
// texts were written in: bytes 0x80-0x9F carry signs such as the trademark sign (0x99)
// rather than control characters.

QString FromAnsi(const QByteArray& bytes);
// Characters the code page cannot hold become "?".
QByteArray ToAnsi(const QString& text);
