#pragma once

#include "PLYLayout.pb.h"

#include <QByteArray>
#include <QImage>
#include <QString>

class PLYLayoutImageSource;
struct PLYLayoutGeometry;

// Renders layouts and blocks off screen with the draw handlers' painting functions. Pure:
// it reads only the layout and the image source, so it may run on any thread.
class PLYLayoutRenderer {
public:
    // The block (and its subtree) `pixelWidth` pixels wide, on the layout's background. A
    // null image, with `reason` said for a person, when the block is not in the layout, has no
    // area, or would be too large an image at that width. `geometry` may be given when already
    // computed for this layout.
    static QImage renderBlock(const PLYLayout& layout, const QString& blockId, int pixelWidth,
                              const PLYLayoutImageSource* images, const PLYLayoutGeometry* geometry = nullptr,
                              QString* reason = nullptr);
    // The most pixels one rendered image may have.
    static constexpr qint64 kMaximumPixels = qint64(20000) * 20000;
    // The whole canvas `pixelWidth` pixels wide; with `maxPixelHeight` above 0 only its top
    // part, down to that height.
    static QImage renderLayout(const PLYLayout& layout, int pixelWidth, const PLYLayoutImageSource* images,
                               int maxPixelHeight = 0);
    // JPEG bytes of `image` at `quality` (0..1).
    static QByteArray jpegData(const QImage& image, double quality);

private:
    static QImage render(const PLYLayout& layout, const QRectF& area, int pixelWidth,
                         const PLYLayoutImageSource* images, const PLYLayoutGeometry& geometry,
                         const PLYBlock* onlyBlock, QString* reason = nullptr);
};
