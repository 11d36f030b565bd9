#include "ui/PicturePixels.h"

#include <QtEndian>
#include <cstring>

namespace uilook {

namespace {

constexpr char Magic[] = "VHPX";
constexpr qsizetype HeaderSize = 12;
// Larger than any window picture; keeps the size arithmetic far from overflow.
constexpr quint32 MaxSide = 8192;

} // namespace

QByteArray EncodePixels(const QImage& image) {
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype rowBytes = qsizetype(pixels.width()) * 4;
    QByteArray data(HeaderSize + rowBytes * pixels.height(), Qt::Uninitialized);
    std::memcpy(data.data(), Magic, 4);
    qToLittleEndian<quint32>(quint32(pixels.width()), data.data() + 4);
    qToLittleEndian<quint32>(quint32(pixels.height()), data.data() + 8);
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(data.data() + HeaderSize + y * rowBytes, pixels.constScanLine(y),
                    size_t(rowBytes));
    return data;
}

QImage DecodePixels(QByteArrayView data) {
    if (data.size() < HeaderSize || std::memcmp(data.data(), Magic, 4) != 0)
        return {};
    const quint32 width = qFromLittleEndian<quint32>(data.data() + 4);
    const quint32 height = qFromLittleEndian<quint32>(data.data() + 8);
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide)
        return {};
    const qsizetype rowBytes = qsizetype(width) * 4;
    if (data.size() != HeaderSize + rowBytes * qsizetype(height))
        return {};
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    for (int y = 0; y < int(height); ++y)
        std::memcpy(image.scanLine(y), data.data() + HeaderSize + y * rowBytes, size_t(rowBytes));
    return image;
}

} // namespace uilook
