#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

// One change seen by the file-event stream.
class PLYFileEvent {
public:
    enum Flag : quint32 {
        Created = 0x1,
        Removed = 0x2,
        Modified = 0x4,
        Renamed = 0x8,  // moved out of or into a watched folder
        IsDirectory = 0x10,
        RootChanged = 0x20,     // the watched root (or a folder above it) came or went
        MustScanSubDirs = 0x40  // events were lost: rescan everything
    };

    PLYFileEvent() = default;
    PLYFileEvent(quint64 identifier, const QString& path, quint32 flags)
        : m_identifier(identifier), m_date(QDateTime::currentDateTimeUtc()), m_path(path), m_flags(flags) {}

    quint64 identifier() const { return m_identifier; }
    QDateTime date() const { return m_date; }
    QUrl url() const { return QUrl::fromLocalFile(m_path); }
    QString path() const { return m_path; }
    quint32 flags() const { return m_flags; }
    bool hasFlag(Flag f) const { return (m_flags & f) != 0; }
    // Whether more events of the same batch follow this one.
    bool moreComing() const { return m_moreComing; }
    void setMoreComing(bool more) { m_moreComing = more; }

private:
    quint64 m_identifier = 0;
    QDateTime m_date;
    QString m_path;
    quint32 m_flags = 0;
    bool m_moreComing = false;
};
