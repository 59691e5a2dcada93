#pragma once

#include "PLYError.h"

#include <QByteArray>
#include <QString>
#include <QVariantMap>
#include <functional>

// How the library treats its own files: reads are bounded, identifiers are checked before they
// name a file or folder, damaged files are kept aside (never overwritten or deleted), and the
// files that must survive damage keep a last good copy beside them.
namespace PLYLibraryFiles {

// Layout files (property lists have PLYPropertyList::MaxBytes).
constexpr qint64 MaxLayoutBytes = 64 * 1024 * 1024;

// Threads that read library files at once (posts, locations): small files gain little beyond.
constexpr int MaxLoadingThreads = 4;
// As many as the machine runs at once, within MaxLoadingThreads.
int loadingThreadCount();

// Letters, digits, '.', '_' and '-', starting with a letter or digit, at most 128 characters:
// safe as one path component ("..", "/" and hidden names are refused).
bool isValidIdentifier(const QString& identifier);

// The whole file, refused when larger than `maxBytes`; the error names the path and the reason.
bool readFile(const QString& path, qint64 maxBytes, QByteArray* bytes, PLYError* error = nullptr);

// Makes the folder and its parents; the error names the path and the system's reason.
bool makeFolder(const QString& path, PLYError* error = nullptr);

// Renames a damaged file, or a folder or link standing where the file should be, to
// "<path>.damaged-<local date and time>" (a number added when that is taken), so that it is
// kept for the user but never read or written again, and logs the new name. Answers the new
// path, empty when nothing was moved. What cannot be moved is logged, left in place and never
// written over by writeWithLastGood.
QString keepAside(const QString& path);

QString lastGoodPath(const QString& path);

// Writes the file atomically, then its last good copy (also atomically). Refused while a damaged
// file that could not be kept aside stands at `path`.
bool writeWithLastGood(const QString& path, const QByteArray& bytes, PLYError* error = nullptr);

// Reads a property list; when it is missing, damaged or fails `isComplete`, reads its last good
// copy instead, keeps the damaged file aside and puts the copy back in its place. Every step is
// logged with the path and the reason.
bool readPropertyListWithLastGood(const QString& path, QVariantMap* map, PLYError* error = nullptr,
                                  const std::function<QString(const QVariantMap&)>& whatIsMissing = {});

// Removes what interrupted atomic writes left in `folder` (PLYAtomicFile's temporary files, of
// any file); each removal is logged. Answers how many were removed.
int removeInterruptedWrites(const QString& folder);

// The error of a library file: the description names the path, the failure reason says why.
PLYError fileError(qint64 code, const QString& path, const QString& reason);

}  // namespace PLYLibraryFiles
