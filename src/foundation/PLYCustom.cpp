#include "PLYCustom.h"

const QCursor& PLYCustom::resizeLeftDiagonalCursor() {
    static const QCursor cursor(Qt::SizeFDiagCursor);
    return cursor;
}

const QCursor& PLYCustom::resizeRightDiagonalCursor() {
    static const QCursor cursor(Qt::SizeBDiagCursor);
    return cursor;
}
