#include "InspectorBGView.h"

#include <QPainter>

InspectorBGView::InspectorBGView(QWidget* parent) : QWidget(parent) {}

void InspectorBGView::setLineOnTop(bool onTop) {
    m_lineOnTop = onTop;
    update();
}

void InspectorBGView::setBgColour(const QColor& colour) {
    m_bg = colour;
    update();
}

void InspectorBGView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_bg);
    const int y = m_lineOnTop ? 0 : height() - 1;
    painter.fillRect(QRect(0, y, width(), 1), lineColour());
}
