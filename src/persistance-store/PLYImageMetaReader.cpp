#include "PLYImageMetaReader.h"

#include "PLYDispatch.h"

#include <QFile>
#include <QImageReader>
#include <QPointer>
#include <QThread>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <mutex>

namespace {

// The single worker thread, made on first use and stopped at quit (shutdown()).
struct Worker {
    QThread* thread = nullptr;
    QObject* object = nullptr;
};

Worker& workerSlot() {
    static Worker w;
    return w;
}

QObject* worker() {
    Worker& w = workerSlot();
    if (!w.object) {
        w.thread = new QThread();
        w.thread->setObjectName(QStringLiteral("Image Meta Search"));
        w.object = new QObject();
        w.object->moveToThread(w.thread);
        w.thread->start(QThread::LowPriority);
    }
    return w.object;
}

void initialiseExiv2() {
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

}  // namespace

qint64 PLYImageMetaReader::colourForLabel(const QString& label) {
    const QString l = label.trimmed().toLower();
    if (l == QLatin1String("red")) return 1;
    if (l == QLatin1String("orange") || l == QLatin1String("yellow")) return 2;
    if (l == QLatin1String("green")) return 3;
    if (l == QLatin1String("blue")) return 4;
    if (l == QLatin1String("purple")) return 5;
    if (l == QLatin1String("white")) return 6;
    if (l == QLatin1String("grey") || l == QLatin1String("gray")) return 7;
    return 0;
}

PLYImageMeta PLYImageMetaReader::read(const QString& path, const std::function<bool()>& stopRequested) {
    Q_UNUSED(stopRequested);
    PLYImageMeta meta;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!size.isValid()) return meta;
    // Report the size as the picture is shown, after its orientation is applied.
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    meta.readable = true;
    meta.size = size;

    initialiseExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        if (image.get()) {
            image->readMetadata();
            const Exiv2::XmpData& xmp = image->xmpData();
            auto rating = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Rating"));
            if (rating != xmp.end()) {
                meta.starRating = qint16(std::clamp<long>(rating->toLong(), -1L, 5L));
            } else {
                const Exiv2::ExifData& exif = image->exifData();
                auto exifRating = exif.findKey(Exiv2::ExifKey("Exif.Image.Rating"));
                if (exifRating != exif.end()) meta.starRating = qint16(std::clamp<long>(exifRating->toLong(), -1L, 5L));
            }
            auto label = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Label"));
            if (label != xmp.end()) meta.colourRating = colourForLabel(QString::fromStdString(label->toString()));
        }
    } catch (const Exiv2::AnyError&) {
        // No readable metadata: the image simply has no rating or label.
    } catch (const std::exception&) {
    }
    return meta;
}

void PLYImageMetaReader::readAsync(const QString& path, QObject* context, std::function<void(const PLYImageMeta&)> done) {
    QPointer<QObject> guard(context);
    const bool hadContext = context != nullptr;
    QMetaObject::invokeMethod(
        worker(),
        [path, guard, hadContext, done = std::move(done)]() {
            const PLYImageMeta meta = read(path);
            PLYDispatch::mainAsync([guard, hadContext, done, meta]() {
                if (hadContext && !guard) return;
                done(meta);
            });
        },
        Qt::QueuedConnection);
}

void PLYImageMetaReader::shutdown() {
    Worker& w = workerSlot();
    if (!w.thread) return;
    // The read in progress finishes; the queued ones are dropped with the worker's object.
    w.thread->quit();
    w.thread->wait();
    delete w.object;
    delete w.thread;
    w = {};
}
