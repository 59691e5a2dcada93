#include "PLYColourFilterView.h"

#include "PLYColourFilterDelegate.h"
#include "PLYGalleryDrawing.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr double kFirstCentreX = 26;
constexpr double kCentreStep = 16;
}  // namespace

PLYColourFilterView::PLYColourFilterView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("filterColourView"));
    setMouseTracking(true);
    setMinimumSize(sizeHint());
    setToolTip(tr("Filter by colour label"));
    layout();
}

void PLYColourFilterView::setCurrentFilterSelection(qint64 mask) {
    m_mask = mask;
    update();
}

void PLYColourFilterView::clearFilter() {
    m_mask = 0;
    update();
}

void PLYColourFilterView::layout() {
    m_centres.clear();
    for (int label = 1; label <= 7; ++label)
        m_centres.append(QPointF(kFirstCentreX + kCentreStep * (label - 1), height() / 2.0));
    m_laidOutHeight = height();
}

const QVector<QPointF>& PLYColourFilterView::centres() const {
    // A resize of a hidden view is announced only when it shows: the height is read here.
    if (m_laidOutHeight != height()) const_cast<PLYColourFilterView*>(this)->layout();
    return m_centres;
}

QPointF PLYColourFilterView::centreOfType(qint64 type) const {
    for (int label = 1; label <= 7; ++label)
        if (type == (qint64(1) << (label - 1))) return centres().at(label - 1);
    return {};
}

bool PLYColourFilterView::isPointInCircleAtPoint(const QPointF& point, const QPointF& centre) {
    const float dx = float(point.x() - centre.x());
    const float dy = float(point.y() - centre.y());
    return dx * dx + dy * dy <= 25.0f;
}

qint64 PLYColourFilterView::typeUnderPoint(const QPointF& point) const {
    for (int label = 1; label <= 7; ++label)
        if (isPointInCircleAtPoint(point, centres().at(label - 1))) return qint64(1) << (label - 1);
    return 0;
}

void PLYColourFilterView::mouseMoveEvent(QMouseEvent* event) {
    m_hover = typeUnderPoint(event->position());
    update();
}

void PLYColourFilterView::leaveEvent(QEvent* event) {
    m_hover = 0;
    update();
    QWidget::leaveEvent(event);
}

void PLYColourFilterView::mousePressEvent(QMouseEvent* event) {
    const qint64 type = typeUnderPoint(event->position());
    m_mask = (m_mask & type) ? (m_mask & ~type) : (m_mask | type);
    if (m_delegate) m_delegate->colourFilterSetFilterType(this, m_mask);
    update();
    event->accept();
}

void PLYColourFilterView::drawDotForType(QPainter& painter, qint64 label, const QPointF& c) {
    const qint64 bit = qint64(1) << (label - 1);
    if ((m_mask & bit) || m_hover == bit) {
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRectF(c.x() - 7, c.y() - 7, 14, 14));
    }
    const QColor fill = PLYGalleryDrawing::colourForLabel(label);
    // A faint edge, so the white dot shows on a light menu.
    painter.setPen(QPen(fill.darker(135), 0.5));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(c.x() - 5, c.y() - 5, 10, 10));
}

void PLYColourFilterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int label = 1; label <= 7; ++label) drawDotForType(painter, label, centres().at(label - 1));
}
