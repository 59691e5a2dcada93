#pragma once

#include "PLYLayout.pb.h"
#include "PLYLayoutOwner.h"

#include <QHash>

// A post stand-in for layout tests: it holds a layout and the image use counts in memory.
class PLYTestLayoutOwner : public PLYLayoutOwner {
public:
    explicit PLYTestLayoutOwner(PLYLayout layout = {}) : m_layout(std::move(layout)) {}
    PLYLayout* layout() override { return &m_layout; }
    qint64 inUseCountForImage(const QString& identifier) const override { return m_counts.value(identifier); }
    void incrementInUseCountForImage(const QString& identifier) override { ++m_counts[identifier]; }
    void decrementInUseCountForImage(const QString& identifier) override { --m_counts[identifier]; }

private:
    PLYLayout m_layout;
    QHash<QString, qint64> m_counts;
};
