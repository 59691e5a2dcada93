#include "PLYImageStackView.h"

#include "PLYAnimator.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QWindow>

namespace {

QGraphicsOpacityEffect* fade(QWidget* view, double alpha) {
    auto* effect = new QGraphicsOpacityEffect(view);
    effect->setOpacity(alpha);
    view->setGraphicsEffect(effect);
    return effect;
}

}  // namespace

PLYImageStackView::PLYImageStackView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imageStackView"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(sizeHint().height());
    // Back to front.
    m_third = makeLayer("thirdImageView");
    m_second = makeLayer("secondImageView");
    m_front = makeLayer("previewImageView");
    fade(m_third, 0.0);
    fade(m_second, 0.0);

    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("imageCountLabel"));
    m_count->setAlignment(Qt::AlignCenter);
    QFont font = m_count->font();
    font.setPixelSize(11);
    font.setBold(true);
    m_count->setFont(font);
    m_count->setStyleSheet(QStringLiteral("QLabel { color: white; background: rgba(30, 30, 30, 0.78);"
                                          " border-radius: 9px; padding: 0px 6px; }"));
    m_count->setFixedHeight(18);
    fade(m_count, 0.0);
}

QLabel* PLYImageStackView::makeLayer(const char* name) {
    auto* layer = new QLabel(this);
    layer->setObjectName(QLatin1String(name));
    layer->setAlignment(Qt::AlignCenter);
    return layer;
}

double PLYImageStackView::alphaOf(const QWidget* view) {
    const auto* effect = view ? qobject_cast<const QGraphicsOpacityEffect*>(view->graphicsEffect()) : nullptr;
    return effect ? effect->opacity() : 1.0;
}

void PLYImageStackView::setImage(const QImage& image) {
    // Pages are refilled on every layout change (a crop being dragged): scale only what is new.
    if (image.cacheKey() == m_image.cacheKey()) return;
    m_image = image;
    relayout();
}

void PLYImageStackView::showSingle() { animateTo(false); }

void PLYImageStackView::showStack(qsizetype count) {
    m_count->setText(QString::number(count));
    m_count->adjustSize();
    animateTo(true);
    relayout();
}

void PLYImageStackView::animateTo(bool stacked) {
    if (m_stacked == stacked) return;
    m_stacked = stacked;
    const auto animator = PLYAnimator::shared();
    const int inset = stacked ? StackInset : SingleInset;
    animator->animate(m_count->graphicsEffect(), "opacity", stacked ? 1.0 : 0.0, AnimationMs, [] {});
    animator->animate(m_second->graphicsEffect(), "opacity", stacked ? 0.7 : 0.0, AnimationMs, [] {});
    animator->animate(m_third->graphicsEffect(), "opacity", stacked ? 0.3 : 0.0, AnimationMs, [] {});
    animator->animate(this, "previewImageRightInset", inset, AnimationMs, [] {});
    animator->animate(this, "previewImageBottomInset", inset, AnimationMs, [] {});
}

void PLYImageStackView::setRightInset(int inset) {
    m_rightInset = inset;
    relayout();
}

void PLYImageStackView::setBottomInset(int inset) {
    m_bottomInset = inset;
    relayout();
}

void PLYImageStackView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void PLYImageStackView::relayout() {
    // The copies step down and right by half of what the insets add to the single image's, and
    // the whole stack is centred.
    const int stepX = qMax(0, (m_rightInset - SingleInset) / 2);
    const int stepY = qMax(0, (m_bottomInset - SingleInset) / 2);
    const QSize layerSize(qMax(1, width() - m_rightInset), qMax(1, height() - m_bottomInset));
    const QPoint origin((m_rightInset - 2 * stepX) / 2, (m_bottomInset - 2 * stepY) / 2);

    const qreal ratio = window() && window()->windowHandle() ? window()->windowHandle()->devicePixelRatio()
                                                             : devicePixelRatioF();
    QPixmap picture;
    if (!m_image.isNull()) {
        picture = QPixmap::fromImage(
            m_image.scaled(layerSize * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        picture.setDevicePixelRatio(ratio);
        // A hairline edge keeps pale skies apart from the white pane.
        QPainter edge(&picture);
        edge.setPen(QPen(QColor(0, 0, 0, 46), 1.0 / ratio));
        edge.drawRect(QRectF(QPointF(0, 0), picture.deviceIndependentSize()).adjusted(0.5 / ratio, 0.5 / ratio,
                                                                                     -0.5 / ratio, -0.5 / ratio));
    }
    QLabel* const layers[] = {m_front, m_second, m_third};
    for (int i = 0; i < 3; ++i) {
        QLabel* layer = layers[i];
        layer->setGeometry(QRect(origin + QPoint(i * stepX, i * stepY), layerSize));
        layer->setPixmap(picture);
    }
    // The badge sits on the front picture's top right corner.
    const QSize fitted = picture.isNull() ? layerSize : (picture.deviceIndependentSize().toSize());
    const QRect front(origin + QPoint((layerSize.width() - fitted.width()) / 2, (layerSize.height() - fitted.height()) / 2),
                      fitted);
    m_count->adjustSize();
    m_count->move(front.right() - m_count->width() - 6, front.top() + 6);
    m_count->raise();
}
