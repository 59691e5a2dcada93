#include "PLYSourceImage.h"

#include <QFileInfo>

PLYSourceImage::PLYSourceImage(QString identifier, const QString& path, PLYSourceDirectory* directory)
    : m_identifier(std::move(identifier)), m_path(path), m_fileName(fileNameOf(path)), m_directory(directory) {}

QDateTime PLYSourceImage::creationDate() const {
    const QFileInfo info(m_path);
    if (!info.exists()) return {};
    const QDateTime birth = info.birthTime();
    return birth.isValid() ? birth : info.lastModified();
}

QDateTime PLYSourceImage::modifiedDate() const {
    const QFileInfo info(m_path);
    return info.exists() ? info.lastModified() : QDateTime();
}

PLYAspectRatio PLYSourceImage::aspectRatio() const {
    if (m_width <= 0 || m_height <= 0) return PLYAspectRatio::ratioWithRawRatio(1.0);
    return PLYAspectRatio::ratioWithRawRatio(double(m_width) / double(m_height));
}

QSizeF PLYSourceImage::galleryDisplayFrameForLongestEdge(double edge) const {
    if (m_width <= 0 || m_height <= 0) return QSizeF(edge, edge);
    if (m_width >= m_height) return QSizeF(edge, edge * double(m_height) / double(m_width));
    return QSizeF(edge * double(m_width) / double(m_height), edge);
}

QString PLYSourceImage::exportNameWithFocusKeywords(const std::optional<QStringList>& keywords) const {
    QString name = QFileInfo(m_path).completeBaseName();
    if (keywords && !keywords->isEmpty()) name += QLatin1Char('_') + keywords->join(QLatin1Char('_'));
    return name;
}
