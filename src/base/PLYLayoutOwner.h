#pragma once

#include <QString>

class PLYLayout;

// What the layout manager needs of the post that owns a layout: the layout itself and the
// per-image use counts. The post implements it.
class PLYLayoutOwner {
public:
    virtual ~PLYLayoutOwner() = default;
    virtual PLYLayout* layout() = 0;
    virtual qint64 inUseCountForImage(const QString& identifier) const = 0;
    virtual void incrementInUseCountForImage(const QString& identifier) = 0;
    virtual void decrementInUseCountForImage(const QString& identifier) = 0;
};
