#include "PLYImageMetaReader.h"

#include "PLYBoundedFile.h"
#include "PLYDispatch.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPointer>
#include <QThread>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>

namespace {

// The single worker thread, made on first use and stopped at quit (shutdown()). Its reads ask
// `stop` before each chunk, so that the quit never waits for a read to finish.
struct Worker {
    QThread* thread = nullptr;
    QObject* object = nullptr;
    std::shared_ptr<std::atomic<bool>> stop;
};

Worker& workerSlot() {
    static Worker w;
    return w;
}

Worker& worker() {
    Worker& w = workerSlot();
    if (!w.object) {
        w.stop = std::make_shared<std::atomic<bool>>(false);
        w.thread = new QThread();
        w.thread->setObjectName(QStringLiteral("Image Meta Search"));
        w.object = new QObject();
        w.object->moveToThread(w.thread);
        w.thread->start(QThread::LowPriority);
    }
    return w;
}

// Exiv2's own reading of the file, drawing on the bound of the rest of the read.
class BoundedExivIo : public Exiv2::FileIo {
public:
    BoundedExivIo(const QString& path, PLYBoundedFile* bound) : Exiv2::FileIo(QFile::encodeName(path).toStdString()), m_bound(bound) {}

    long read(Exiv2::byte* buf, long rcount) override {
        long total = 0;
        while (total < rcount) {
            const qint64 allowed = m_bound->allow(rcount - total);
            if (allowed <= 0) {
                m_stopped = true;
                break;
            }
            const long got = Exiv2::FileIo::read(buf + total, long(allowed));
            if (got <= 0) break;
            m_bound->spend(got);
            total += got;
        }
        return total;
    }
    int getb() override {
        if (m_bound->allow(1) <= 0) {
            m_stopped = true;
            return EOF;
        }
        const int c = Exiv2::FileIo::getb();
        if (c != EOF) m_bound->spend(1);
        return c;
    }
    // A read cut short by the bound is an error: exiv2 gives up on the file rather than reading on.
    int error() const override { return m_stopped ? 1 : Exiv2::FileIo::error(); }
    bool eof() const override { return m_stopped || Exiv2::FileIo::eof(); }
    using Exiv2::FileIo::read;

private:
    PLYBoundedFile* m_bound;
    bool m_stopped = false;
};

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
    PLYImageMeta meta;
    // Every look at the file below (its JPEG markers, Qt's header check, exiv2's metadata) draws
    // on one bound: a file whose header goes on and on (a hole of zeros) is given up, not read through.
    PLYBoundedFile file(path, MaxReadBytes, ReadChunkBytes, stopRequested);
    if (!file.open(QIODevice::ReadOnly)) {
        meta.reason = file.errorString();
        return meta;
    }
    QImageReader reader(&file, QFileInfo(path).suffix().toLower().toLatin1());
    reader.setAutoTransform(true);
    const PLYImageHeader header = PLYImageHeader::read(reader);
    if (!header.isValid()) {
        meta.reason = file.stoppedReason().isEmpty() ? header.reason : file.stoppedReason();
        return meta;
    }
    QSize size = reader.size();
    if (!size.isValid()) {
        meta.reason = file.stoppedReason().isEmpty() ? reader.errorString() : file.stoppedReason();
        return meta;
    }
    // Report the size as the picture is shown, after its orientation is applied.
    if (reader.transformation() & QImageIOHandler::TransformationRotate90) size.transpose();
    meta.readable = true;
    meta.size = size;

    initialiseExiv2();
    try {
        auto image = Exiv2::ImageFactory::open(Exiv2::BasicIo::AutoPtr(new BoundedExivIo(path, &file)));
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
    Worker& w = worker();
    QMetaObject::invokeMethod(
        w.object,
        [path, guard, hadContext, stop = w.stop, done = std::move(done)]() {
            if (stop->load()) return;
            const PLYImageMeta meta = read(path, [stop] { return stop->load(std::memory_order_relaxed); });
            // A read cut short by the quit says nothing about the file.
            if (stop->load()) return;
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
    // The read in progress stops at its next chunk; the queued ones are dropped with the
    // worker's object.
    w.stop->store(true);
    w.thread->quit();
    w.thread->wait();
    delete w.object;
    delete w.thread;
    w = {};
}
