#include "PLYPrepProgress.h"

#include <algorithm>

PLYPrepProgress PLYPrepProgress::fromCounts(qint64 pending, qint64 total) {
    PLYPrepProgress progress;
    progress.m_total = std::max<qint64>(total, 0);
    progress.m_pending = std::clamp<qint64>(pending, 0, progress.m_total);
    return progress;
}

double PLYPrepProgress::fraction() const {
    if (m_total <= 0) return 1.0;
    return double(prepared()) / double(m_total);
}

QString PLYPrepProgress::labelText() const {
    return QStringLiteral("Preparing Images (%1/%2)").arg(prepared()).arg(m_total);
}
