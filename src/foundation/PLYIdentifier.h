#pragma once

#include <QString>

// Identifiers of accounts, posts, locations, images, sections and blocks: an upper-case UUID
// without braces, made in one place so every kind looks alike on disk and on the wire.
class PLYIdentifier {
public:
    static QString newIdentifier();
};
