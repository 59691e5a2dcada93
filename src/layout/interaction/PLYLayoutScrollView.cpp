#include "PLYLayoutScrollView.h"

#include "PLYColor.h"

#include "PLYLayoutView.h"

#include <QGraphicsScene>
#include <algorithm>

PLYLayoutScrollView::PLYLayoutScrollView(QWidget* parent) : QGraphicsView(parent) {
    setScene(new QGraphicsScene(this));
    setObjectName(QStringLiteral("scrollView"));
    setFrameShape(QFrame::NoFrame);
    setBackgroundBrush(PLYColor::kro_layoutBackground());
    setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    setTransformationAnchor(QGraphicsView::AnchorViewCenter);
    setResizeAnchor(QGraphicsView::AnchorViewCenter);
    setViewportUpdateMode(QGraphicsView::SmartViewportUpdate);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    updateSceneRect();
}

PLYLayoutScrollView::~PLYLayoutScrollView() {
    // The document belongs to whoever set it (the layout view proxy), not to this scene.
    if (m_document && m_document->scene() == scene()) scene()->removeItem(m_document);
}

void PLYLayoutScrollView::setMagnification(double magnification) {
    if (!std::isfinite(magnification)) return;
    const double m = std::clamp(magnification, kMinimumMagnification, kMaximumMagnification);
    if (m == m_magnification) return;
    m_magnification = m;
    setTransform(QTransform::fromScale(m, m));
    updateSceneRect();
    emit magnificationChanged(m);
}

PLYLayoutView* PLYLayoutScrollView::documentView() const { return m_document; }

void PLYLayoutScrollView::setDocumentView(PLYLayoutView* document) {
    if (m_document == document) return;
    disconnect(m_documentSize);
    if (m_document && m_document->scene() == scene()) scene()->removeItem(m_document);
    m_document = document;
    if (document) {
        if (document->scene() != scene()) scene()->addItem(document);
        document->setPos(0, 0);
        m_documentSize = connect(document, &PLYLayoutView::sizeChanged, this, &PLYLayoutScrollView::updateSceneRect);
    }
    updateSceneRect();
}

bool PLYLayoutScrollView::allowsHorizontalScrolling() const {
    if (!m_document) return false;
    return m_document->boundingRect().width() * m_magnification > viewport()->width();
}

void PLYLayoutScrollView::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    updateSceneRect();
}

void PLYLayoutScrollView::updateSceneRect() {
    const QRectF document = m_document ? m_document->mapRectToScene(m_document->boundingRect()) : QRectF();
    // The room above and below is in screen points: in layout points it shrinks as the view zooms.
    const double m = m_magnification > 0.0 ? m_magnification : 1.0;
    const QRectF rect = document.adjusted(0, -kContentInsetTop / m, 0, kContentInsetBottom / m);
    if (rect != sceneRect()) setSceneRect(rect);
    setHorizontalScrollBarPolicy(allowsHorizontalScrolling() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
}
