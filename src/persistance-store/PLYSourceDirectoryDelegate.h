#pragma once

#include <QString>

class PLYSourceDirectory;

// Hears of a source location's changes. Every operation is optional. Registration is not
// owning; a delegate removes itself before it goes.
class PLYSourceDirectoryDelegate {
public:
    virtual ~PLYSourceDirectoryDelegate() = default;
    virtual void sourceDirectoryUpdatedState(PLYSourceDirectory*, int /*state*/) {}
    virtual void sourceDirectoryAddedNewImage(PLYSourceDirectory*, const QString& /*identifier*/) {}
    virtual void sourceDirectoryUpdatedImage(PLYSourceDirectory*, const QString& /*identifier*/) {}
    virtual void sourceDirectoryDeletedImage(PLYSourceDirectory*, const QString& /*identifier*/) {}
    // Yes lets the location drop an image whose file has gone.
    virtual bool sourceDirectoryShouldRemoveDeletedImage(PLYSourceDirectory*, const QString& /*identifier*/) {
        return false;
    }
};
