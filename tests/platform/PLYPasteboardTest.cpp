#include <gtest/gtest.h>

#include "PLYPasteboard.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

namespace {
PLYPasteboard sample() {
    PLYPasteboardItem image("com.pellory.image.ref", "img-1");
    PLYPasteboardItem second("com.pellory.image.ref", "img-2");
    second.setData(QByteArray("\x00\x01\xff", 3), "com.pellory.block");
    PLYPasteboardItem text("com.pellory.text.new", QStringLiteral("Write Something..."));
    return PLYPasteboard({image, second, text}, 42);
}
}  // namespace

TEST(Pasteboard, RoundTripThroughMimeData) {
    const PLYPasteboard board = sample();
    QMimeData mime;
    board.writeTo(&mime);
    EXPECT_TRUE(PLYPasteboard::mimeDataOffersType(&mime, "com.pellory.image.ref"));
    EXPECT_TRUE(PLYPasteboard::mimeDataOffersType(&mime, "com.pellory.block"));
    EXPECT_TRUE(PLYPasteboard::mimeDataOffersType(&mime, "com.pellory.text.new"));
    EXPECT_FALSE(PLYPasteboard::mimeDataOffersType(&mime, "com.pellory.blank.new"));
    EXPECT_EQ(mime.data(PLYPasteboard::markerFormat("com.pellory.image.ref")), QByteArray("img-1"));

    PLYError error;
    auto decoded = PLYPasteboard::fromMimeData(&mime, &error);
    ASSERT_TRUE(decoded) << error.toString().toStdString();
    EXPECT_EQ(*decoded, board);
    EXPECT_EQ(decoded->sequenceNumber(), 42);
    ASSERT_EQ(decoded->pasteboardItems().size(), 3);
    EXPECT_EQ(decoded->pasteboardItems()[1].dataForType("com.pellory.block"), QByteArray("\x00\x01\xff", 3));
    EXPECT_EQ(decoded->stringsForType("com.pellory.image.ref"), (QStringList{"img-1", "img-2"}));
    EXPECT_EQ(decoded->types(), (QStringList{"com.pellory.image.ref", "com.pellory.block", "com.pellory.text.new"}));
    EXPECT_TRUE(decoded->pasteboardItems()[2].stringForType("com.pellory.block").isNull());
}

TEST(Pasteboard, EmptyPasteboardRoundTrips) {
    auto decoded = PLYPasteboard::decode(PLYPasteboard({}, 7).encode());
    ASSERT_TRUE(decoded);
    EXPECT_TRUE(decoded->pasteboardItems().isEmpty());
    EXPECT_EQ(decoded->sequenceNumber(), 7);
}

TEST(Pasteboard, MalformedDataIsRejected) {
    const QByteArray good = sample().encode();
    PLYError error;
    EXPECT_FALSE(PLYPasteboard::decode(QByteArray(), &error));
    EXPECT_FALSE(error.isNull());
    EXPECT_FALSE(PLYPasteboard::decode("garbage that is long enough to read a header", &error));
    for (int cut : {4, 12, 20, int(good.size()) - 1}) EXPECT_FALSE(PLYPasteboard::decode(good.left(cut))) << cut;
    EXPECT_FALSE(PLYPasteboard::decode(good + "x"));

    QByteArray huge;  // claims four billion items in a few bytes
    QDataStream out(&huge, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << quint32(0x504C5950) << quint32(1) << qint64(0) << quint32(0xFFFFFFFF);
    EXPECT_FALSE(PLYPasteboard::decode(huge));

    QMimeData plain;
    plain.setText("just text");
    EXPECT_FALSE(PLYPasteboard::fromMimeData(&plain));
    EXPECT_FALSE(PLYPasteboard::fromMimeData(nullptr));
}
