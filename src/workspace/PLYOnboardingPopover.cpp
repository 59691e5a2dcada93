#include "PLYOnboardingPopover.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

PLYOnboardingPopover::PLYOnboardingPopover(QWidget* content, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), m_content(content) {
    setObjectName(QStringLiteral("onBoardPopOver"));
    setAttribute(Qt::WA_TranslucentBackground);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(ArrowLength + 16, 14, 16, 14);
    content->setParent(this);
    layout->addWidget(content);
}

QPoint PLYOnboardingPopover::originFor(const QRect& anchor, const QSize& size, Edge edge, const QRect& screen) {
    int x = edge == Edge::MaxX ? anchor.right() + 1 : anchor.left() - size.width();
    int y = anchor.center().y() - size.height() / 2;
    if (edge == Edge::Below) {
        x = anchor.center().x() - size.width() / 2;
        y = anchor.bottom() + 1;
    }
    if (screen.isValid()) {
        x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
        y = std::clamp(y, screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    }
    return {x, y};
}

void PLYOnboardingPopover::showRelativeToRect(const QRect& rect, QWidget* view, Edge preferredEdge) {
    m_edge = preferredEdge;
    auto* layout = this->layout();
    if (m_edge == Edge::MaxX) layout->setContentsMargins(ArrowLength + 16, 14, 16, 14);
    else if (m_edge == Edge::MinX) layout->setContentsMargins(16, 14, ArrowLength + 16, 14);
    else layout->setContentsMargins(16, ArrowLength + 14, 16, 14);
    adjustSize();
    const QRect anchor(view->mapToGlobal(rect.topLeft()), rect.size());
    const QScreen* screen = view->screen() ? view->screen() : QGuiApplication::primaryScreen();
    const QPoint origin = originFor(anchor, size(), m_edge, screen ? screen->availableGeometry() : QRect());
    const int inset = CornerRadius + ArrowHalfWidth;
    m_arrowY = std::clamp(anchor.center().y() - origin.y(), inset, std::max(inset, height() - inset));
    m_arrowX = std::clamp(anchor.center().x() - origin.x(), inset, std::max(inset, width() - inset));
    move(origin);
    m_closingByProgram = false;
    show();
}

void PLYOnboardingPopover::closePopover() {
    m_closingByProgram = true;
    hide();
}

void PLYOnboardingPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    const bool byUser = !m_closingByProgram;
    m_closingByProgram = true;  // announced once
    if (byUser) emit closedByUser();
}

void PLYOnboardingPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const QRectF bubble = m_edge == Edge::MaxX   ? all.adjusted(ArrowLength, 0, 0, 0)
                          : m_edge == Edge::MinX ? all.adjusted(0, 0, -ArrowLength, 0)
                                                 : all.adjusted(0, ArrowLength, 0, 0);
    QPainterPath path;
    path.addRoundedRect(bubble, CornerRadius, CornerRadius);
    QPainterPath arrow;
    if (m_edge == Edge::Below) {
        const double baseY = bubble.top() + 1;
        arrow.moveTo(m_arrowX - ArrowHalfWidth, baseY);
        arrow.lineTo(m_arrowX, all.top());
        arrow.lineTo(m_arrowX + ArrowHalfWidth, baseY);
    } else {
        const double tipX = m_edge == Edge::MaxX ? all.left() : all.right();
        const double baseX = m_edge == Edge::MaxX ? bubble.left() + 1 : bubble.right() - 1;
        arrow.moveTo(baseX, m_arrowY - ArrowHalfWidth);
        arrow.lineTo(tipX, m_arrowY);
        arrow.lineTo(baseX, m_arrowY + ArrowHalfWidth);
    }
    arrow.closeSubpath();
    path = path.united(arrow);
    painter.setPen(QPen(QColor(0, 0, 0, 50), 1.0));
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawPath(path);
}

QWidget* PLYOnboardingPopover::makeContent(const QString& objectName, const QString& heading, const QString& text,
                                           const QString& buttonName) {
    auto* content = new QWidget;
    content->setObjectName(objectName);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* title = new QLabel(heading, content);
    QFont titleFont = title->font();
    titleFont.setPixelSize(14);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    auto* body = new QLabel(text, content);
    body->setWordWrap(true);
    body->setFixedWidth(240);
    QFont bodyFont = body->font();
    bodyFont.setPixelSize(12);
    body->setFont(bodyFont);
    auto* button = new QPushButton(tr("Got it"), content);
    button->setObjectName(buttonName);
    button->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(button);
    layout->addWidget(title);
    layout->addWidget(body);
    layout->addSpacing(4);
    layout->addLayout(row);
    return content;
}
