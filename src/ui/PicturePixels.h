#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>

// The windows' pictures as the program carries them: painted at build time and kept as their
// pixels, so that a start pays for no decoding. "VHPX", width and height (32 bits each,
// little-endian), then the rows top to bottom, each pixel a premultiplied ARGB word in the byte
// order of the machine that built the program.
namespace uilook {

QByteArray EncodePixels(const QImage& image);

// A null image when `data` is not such a picture (wrong header, size or length).
QImage DecodePixels(QByteArrayView data);

// The same picture over `data`'s own bytes, which must outlive it; read-only, nothing copied.
// A null image also when the pixels in `data` are not aligned to whole words.
QImage PixelsView(QByteArrayView data);

} // namespace uilook
