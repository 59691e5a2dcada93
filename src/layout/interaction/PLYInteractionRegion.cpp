#include "PLYInteractionRegion.h"

QString PLYInteractionRegion::description() const {
    return QStringLiteral("<PLYInteractionRegion: 0x%1> assoc: %2\n idx: %3\n edge: %4\n axis start: %5\n axis end: %6\n "
                          "depth:%7\n activate: %8")
        .arg(quintptr(this), 0, 16)
        .arg(m_blockId.isEmpty() ? QStringLiteral("(null)") : m_blockId)
        .arg(m_index)
        .arg(m_edge)
        .arg(m_minorStart, 0, 'f', 6)
        .arg(m_minorEnd, 0, 'f', 6)
        .arg(m_depth)
        .arg(m_canActivate ? 1 : 0);
}
