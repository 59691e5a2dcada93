#pragma once

#include <QCursor>

// The application's own cursors, each made once and kept.
class PLYCustom {
public:
    // Top-left to bottom-right diagonal (grab-handle corners 0 and 3).
    static const QCursor& resizeLeftDiagonalCursor();
    // Bottom-left to top-right diagonal (grab-handle corners 1 and 2).
    static const QCursor& resizeRightDiagonalCursor();
};
