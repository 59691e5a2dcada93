#include "PLYChooserImageView.h"

#include "PLYAnimator.h"
#include "PLYColor.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

PLYChooserImageView::PLYChooserImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imageContainerView"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void PLYChooserImageView::setRepresentedImage(const QImage& image) {
    if (image.cacheKey() == m_image.cacheKey() && !m_placeholder) return;
    m_placeholder = false;
    m_image = image;
    m_scaled = QPixmap();
    // A new picture starts at its top (any slide of the old one ends here); under the pointer
    // it then slides as a hovered one does.
    rest();
    if (m_hovered) slideTo(hoveredImageTop());
}

void PLYChooserImageView::rest() {
    // Takes over any slide on its way.
    PLYAnimator::shared()->animate(this, "imageTop", restingImageTop(), 0);
    setImageTop(restingImageTop());
}

void PLYChooserImageView::setPlaceholderImage(const QImage& image) {
    m_image = image;
    m_placeholder = true;
    m_scaled = QPixmap();
    m_imageTop = 0;
    update();
}

void PLYChooserImageView::setSelected(bool selected) {
    if (m_selected == selected) return;
    m_selected = selected;
    update();
}

qreal PLYChooserImageView::imageHeight() const {
    if (m_placeholder || m_image.isNull() || m_image.width() <= 0) return 0;
    return m_image.height() * (width() / qreal(m_image.width()));
}

qreal PLYChooserImageView::hoveredImageTop() const {
    // Only a picture that overflows has a lower end to show.
    return std::min<qreal>(0, height() - imageHeight());
}

void PLYChooserImageView::setImageTop(qreal top) {
    m_imageTop = top;
    update();
}

void PLYChooserImageView::slideTo(qreal top) {
    const qreal distance = std::abs(top - m_imageTop);
    if (distance < 0.5) return setImageTop(top);
    // A long preview pans at a readable pace; a short move stays brisk.
    const int duration = int(std::clamp(distance * 1.2, 250.0, 1200.0));
    PLYAnimator::shared()->animate(this, "imageTop", top, duration);
}

void PLYChooserImageView::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    m_hovered = true;
    slideTo(hoveredImageTop());
}

void PLYChooserImageView::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    m_hovered = false;
    slideTo(restingImageTop());
}

void PLYChooserImageView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A tile hidden under the pointer (home left for a post) hears no leave: it shows its top
    // when it comes back.
    m_hovered = false;
    rest();
}

void PLYChooserImageView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_scaled = QPixmap();
    m_imageTop = m_hovered ? hoveredImageTop() : restingImageTop();
}

void PLYChooserImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_placeholder) {
        painter.fillRect(rect(), QColor(0xF2, 0xF2, 0xF2));
        // At most 160 points wide and half the view's width, centred.
        const QSizeF own = m_image.deviceIndependentSize();
        const qreal scale = std::min({1.0, 160.0 / std::max<qreal>(1, own.width()), width() * 0.5 / std::max<qreal>(1, own.width())});
        const QSizeF size = own * scale;
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size), m_image);
    } else {
        painter.fillRect(rect(), Qt::white);
    }
    if (!m_image.isNull() && !m_placeholder) {
        const qreal ratio = devicePixelRatioF();
        const QSize target(qRound(width() * ratio), qRound(imageHeight() * ratio));
        if (m_scaled.isNull() || m_scaled.size() != target) {
            m_scaled = QPixmap::fromImage(m_image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
            m_scaled.setDevicePixelRatio(ratio);
        }
        painter.drawPixmap(QPointF(0, m_imageTop), m_scaled);
    }
    if (m_selected) {
        const qreal inset = SelectionBorderWidth / 2;
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(PLYColor::kro_blueColour(), SelectionBorderWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
    }
}
