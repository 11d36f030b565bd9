#pragma once

#include <QDateTime>
#include <QString>

// Reads the three date layouts HTTP servers send (RFC 1123, RFC 850, asctime), with an
// optional numeric zone offset. The result is in universal time; an empty or unreadable text
// gives an invalid date-time (the "no date" value), and so does a day, year, hour, minute or
// second outside its range.
QDateTime ParseHTTPDate(const QString& text);
