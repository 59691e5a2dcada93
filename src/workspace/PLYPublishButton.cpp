#include "PLYPublishButton.h"

#include "PLYColor.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace {

// An upward arrow over a tray, drawn at the device's pixel ratio.
QPixmap uploadGlyph(qreal ratio, const QColor& colour) {
    const QSize size(16, 16);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLine(QPointF(8, 2.5), QPointF(8, 10.5));
    QPainterPath head;
    head.moveTo(4.5, 6);
    head.lineTo(8, 2.5);
    head.lineTo(11.5, 6);
    painter.drawPath(head);
    QPainterPath tray;
    tray.moveTo(2.5, 10);
    tray.lineTo(2.5, 13.5);
    tray.lineTo(13.5, 13.5);
    tray.lineTo(13.5, 10);
    painter.drawPath(tray);
    return pixmap;
}

}  // namespace

PLYPublishButton::PLYPublishButton(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYPublishButton"));
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("icon"));
    m_icon->setFixedSize(16, 16);
    m_label = new QLabel(tr("Publish"), this);
    m_label->setObjectName(QStringLiteral("label"));
    QFont font = m_label->font();
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    m_label->setFont(font);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(14, 7, 14, 7);
    row->setSpacing(8);
    row->addStretch(1);
    row->addWidget(m_icon);
    row->addWidget(m_label);
    row->addStretch(1);
    m_icon->setPixmap(uploadGlyph(devicePixelRatioF(), QColor(0x33, 0x33, 0x33)));
}

QSize PLYPublishButton::sizeHint() const { return QSize(QWidget::sizeHint().width(), 34); }

void PLYPublishButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(frame, 6.0, 6.0);
    // Top to bottom, light to a touch darker; pressed, a little darker still.
    QLinearGradient gradient(frame.topLeft(), frame.bottomLeft());
    const QColor top = PLYColor::colorWithHexColorString(QStringLiteral("FEFEFE"));
    const QColor bottom = PLYColor::colorWithHexColorString(QStringLiteral("F1F1F1"));
    gradient.setColorAt(0.0, m_pressed ? bottom.darker(106) : top);
    gradient.setColorAt(1.0, m_pressed ? bottom.darker(110) : bottom);
    painter.fillPath(path, gradient);
    painter.setPen(QPen(QColor(0, 0, 0, int(0.2 * 255)), 1.0));
    painter.drawPath(path);
    if (hasFocus()) {
        painter.setPen(QPen(PLYColor::kro_blueColour(), 1.5));
        painter.drawRoundedRect(frame.adjusted(1.5, 1.5, -1.5, -1.5), 5.0, 5.0);
    }
}

void PLYPublishButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return QWidget::mousePressEvent(event);
    m_pressed = true;
    update();
}

void PLYPublishButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
    const bool wasPressed = std::exchange(m_pressed, false);
    update();
    if (wasPressed && rect().contains(event->position().toPoint())) click();
}

void PLYPublishButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PLYPublishButton::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        m_label->setEnabled(isEnabled());
        m_icon->setEnabled(isEnabled());
    }
}

void PLYPublishButton::click() {
    if (!isEnabled()) return;
    if (auto* delegate = dynamic_cast<PLYPublishButtonDelegate*>(m_delegate.data())) delegate->buttonWasClicked(this);
}
