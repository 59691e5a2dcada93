#include "PLYImageFormats.h"

#include <QFileInfo>
#include <QImageReader>
#include <QSet>

const QStringList& PLYImageFormats::rawExtensions() {
    static const QStringList list = {
        QStringLiteral("3fr"), QStringLiteral("ari"), QStringLiteral("arw"), QStringLiteral("bay"),
        QStringLiteral("braw"), QStringLiteral("crw"), QStringLiteral("cr2"), QStringLiteral("cr3"),
        QStringLiteral("cap"), QStringLiteral("data"), QStringLiteral("dcs"), QStringLiteral("dcr"),
        QStringLiteral("dng"), QStringLiteral("drf"), QStringLiteral("eip"), QStringLiteral("erf"),
        QStringLiteral("fff"), QStringLiteral("gpr"), QStringLiteral("iiq"), QStringLiteral("k25"),
        QStringLiteral("kdc"), QStringLiteral("mdc"), QStringLiteral("mef"), QStringLiteral("mos"),
        QStringLiteral("mrw"), QStringLiteral("nef"), QStringLiteral("nrw"), QStringLiteral("obm"),
        QStringLiteral("orf"), QStringLiteral("pef"), QStringLiteral("ptx"), QStringLiteral("pxn"),
        QStringLiteral("r3d"), QStringLiteral("raf"), QStringLiteral("raw"), QStringLiteral("rwl"),
        QStringLiteral("rw2"), QStringLiteral("srw"),
    };
    return list;
}

bool PLYImageFormats::isSupportedImagePath(const QString& path) {
    static const QSet<QString> rawSet(rawExtensions().cbegin(), rawExtensions().cend());
    static const QSet<QString> readable = [] {
        QSet<QString> s;
        for (const QByteArray& f : QImageReader::supportedImageFormats()) s.insert(QString::fromLatin1(f).toLower());
        return s;
    }();
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext.isEmpty() || rawSet.contains(ext)) return false;
    return readable.contains(ext);
}
