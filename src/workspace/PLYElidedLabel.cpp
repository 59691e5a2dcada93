#include "PLYElidedLabel.h"

#include <QPainter>

PLYElidedLabel::PLYElidedLabel(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), m_mode(mode) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // It shows names and addresses as typed, and elides characters, never markup.
    setTextFormat(Qt::PlainText);
}

QSize PLYElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void PLYElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
    const QRect area = contentsRect();
    painter.drawText(area, int(alignment()) | Qt::AlignVCenter, fontMetrics().elidedText(text(), m_mode, area.width()));
}
