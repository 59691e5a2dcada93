#pragma once

#include "PLYError.h"
#include "PLYPasteboardItem.h"

#include <QList>
#include <QString>
#include <optional>

class QMimeData;

// Several pasteboard items and the dragging sequence number, carried in one private format of a
// QMimeData. Each type of any item is also present as a marker format, so a drop target can
// tell what is offered without decoding.
class PLYPasteboard {
public:
    static constexpr const char* MimeType = "application/x-pellory-pasteboard";

    PLYPasteboard() = default;
    explicit PLYPasteboard(QList<PLYPasteboardItem> items, qint64 sequenceNumber = 0)
        : m_items(std::move(items)), m_sequence(sequenceNumber) {}

    const QList<PLYPasteboardItem>& pasteboardItems() const { return m_items; }
    void addItem(const PLYPasteboardItem& item) { m_items.append(item); }
    qint64 sequenceNumber() const { return m_sequence; }
    void setSequenceNumber(qint64 sequence) { m_sequence = sequence; }
    // A number no earlier dragging session of this process had: every drag source takes one, so
    // that a destination tells one session from the next, whichever source started it.
    static qint64 nextSequenceNumber();
    // Types over all items, each once, in order of first appearance.
    QStringList types() const;
    // The string of every item that has `type`, in item order.
    QStringList stringsForType(const QString& type) const;

    QByteArray encode() const;
    // Null, with *error set, for data that is not a well-formed pasteboard.
    static std::optional<PLYPasteboard> decode(const QByteArray& bytes, PLYError* error = nullptr);

    // Writes the private format and the markers (the first item's data for each type).
    void writeTo(QMimeData* mimeData) const;
    static std::optional<PLYPasteboard> fromMimeData(const QMimeData* mimeData, PLYError* error = nullptr);
    static QString markerFormat(const QString& type);
    static bool mimeDataOffersType(const QMimeData* mimeData, const QString& type);

    bool operator==(const PLYPasteboard& other) const { return m_items == other.m_items && m_sequence == other.m_sequence; }

private:
    QList<PLYPasteboardItem> m_items;
    qint64 m_sequence = 0;
};
