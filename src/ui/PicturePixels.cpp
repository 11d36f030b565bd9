#include "ui/PicturePixels.h"

#include <QtEndian>
#include <cstring>
#include <optional>

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

namespace {

struct Shape {
    int width = 0;
    int height = 0;
};

std::optional<Shape> ShapeOf(QByteArrayView data) {
    if (data.size() < HeaderSize || std::memcmp(data.data(), Magic, 4) != 0)
        return std::nullopt;
    const quint32 width = qFromLittleEndian<quint32>(data.data() + 4);
    const quint32 height = qFromLittleEndian<quint32>(data.data() + 8);
    if (width == 0 || height == 0 || width > MaxSide || height > MaxSide ||
        data.size() != HeaderSize + qsizetype(width) * 4 * qsizetype(height))
        return std::nullopt;
    return Shape{int(width), int(height)};
}

} // namespace

QImage DecodePixels(QByteArrayView data) {
    const std::optional<Shape> shape = ShapeOf(data);
    if (!shape)
        return {};
    QImage image(shape->width, shape->height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const size_t rowBytes = size_t(shape->width) * 4;
    for (int y = 0; y < shape->height; ++y)
        std::memcpy(image.scanLine(y), data.data() + HeaderSize + y * rowBytes, rowBytes);
    return image;
}

QImage PixelsView(QByteArrayView data) {
    const std::optional<Shape> shape = ShapeOf(data);
    const auto* pixels = reinterpret_cast<const uchar*>(data.data()) + HeaderSize;
    if (!shape || reinterpret_cast<quintptr>(pixels) % 4 != 0)
        return {};
    return QImage(pixels, shape->width, shape->height, qsizetype(shape->width) * 4,
                  QImage::Format_ARGB32_Premultiplied);
}

} // namespace uilook
