// The pictures' pixel format: what is written is read back pixel for pixel, and anything that is
// not such a picture is refused rather than read past its end.

#include "ui/PicturePixels.h"

#include <QPainter>
#include <QtEndian>
#include <gtest/gtest.h>

using uilook::DecodePixels;
using uilook::EncodePixels;
using uilook::PixelsView;

TEST(PicturePixels, ReadsBackWhatWasWritten) {
    QImage image(7, 3, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter(&image).fillRect(1, 1, 4, 1, QColor(10, 20, 30, 128));
    const QImage back = DecodePixels(EncodePixels(image));
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back, image);
    // Another format is converted on the way in.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(DecodePixels(EncodePixels(rgb)),
              rgb.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

TEST(PicturePixels, RefusesWhatIsNotSuchAPicture) {
    QImage image(4, 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    const QByteArray good = EncodePixels(image);
    const auto withSize = [&](quint32 width, quint32 height) {
        QByteArray data = good;
        qToLittleEndian(width, data.data() + 4);
        qToLittleEndian(height, data.data() + 8);
        return data;
    };
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"empty", QByteArray()},
        {"header only", good.left(12)},
        {"one byte short", good.chopped(1)},
        {"one byte more", good + 'x'},
        {"other magic", QByteArray("PNG!") + good.mid(4)},
        {"no width", withSize(0, 2)},
        {"sizes that overflow", withSize(0x40000000u, 0x40000000u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(DecodePixels(c.data).isNull());
    }
    EXPECT_FALSE(DecodePixels(withSize(8, 1)).isNull()) << "same length, other shape";
}

// The view reads the pixels where they lie; where they are not word-aligned it declines, and the
// caller copies.
TEST(PicturePixels, AViewSharesAlignedBytesOnly) {
    QImage image(5, 2, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(1, 2, 3));
    const QByteArray data = EncodePixels(image);
    ASSERT_EQ(reinterpret_cast<quintptr>(data.constData()) % 4, 0u);
    const QImage view = PixelsView(data);
    ASSERT_FALSE(view.isNull());
    EXPECT_EQ(view, image);
    EXPECT_EQ(view.constBits(), reinterpret_cast<const uchar*>(data.constData()) + 12);

    const QByteArray shifted = QByteArray(1, '\0') + data;
    EXPECT_TRUE(PixelsView(QByteArrayView(shifted).sliced(1)).isNull());
    EXPECT_EQ(DecodePixels(QByteArrayView(shifted).sliced(1)), image);
    EXPECT_TRUE(PixelsView(data.chopped(4)).isNull());
}
