#include "PLYOnboardingPopover.h"

#include "PLYScreenAlpha.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

PLYOnboardingPopover::PLYOnboardingPopover(QWidget* content, QWidget* parent, Presentation presentation)
    : QWidget(presentation == Presentation::Transient ? parent : nullptr,
              presentation == Presentation::Transient ? Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint
                                                      : Qt::Widget),
      m_content(content), m_presentation(presentation) {
    setObjectName(QStringLiteral("onBoardPopOver"));
    if (presentation == Presentation::Transient) {
        // Transparent corners only where the desktop can show them.
        m_translucent = PLYScreenAlpha::available();
        if (m_translucent) setAttribute(Qt::WA_TranslucentBackground);
    } else {
        // Inside the window its corners show the views under it; it is placed in the window when
        // shown and goes with its owner.
        setFocusPolicy(Qt::NoFocus);
        hide();
        if (parent) connect(parent, &QObject::destroyed, this, &QObject::deleteLater);
    }
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
    if (m_anchorView && m_anchorView->window() != view->window()) m_anchorView->window()->removeEventFilter(this);
    m_anchorView = view;
    m_anchorRect = rect;
    if (m_presentation == Presentation::InWindow) {
        QWidget* window = view->window();
        if (parentWidget() != window) setParent(window);
        // Follows the window's size.
        window->installEventFilter(this);
    }
    adjustSize();
    place();
    m_closingByProgram = false;
    show();
    raise();
}

void PLYOnboardingPopover::place() {
    QWidget* view = m_anchorView;
    if (!view) return;
    QRect anchor;
    QRect bounds;
    if (m_presentation == Presentation::InWindow) {
        // In the window's coordinates, kept inside it.
        anchor = QRect(view->mapTo(view->window(), m_anchorRect.topLeft()), m_anchorRect.size());
        bounds = view->window()->rect();
    } else {
        anchor = QRect(view->mapToGlobal(m_anchorRect.topLeft()), m_anchorRect.size());
        const QScreen* screen = view->screen() ? view->screen() : QGuiApplication::primaryScreen();
        bounds = screen ? screen->availableGeometry() : QRect();
    }
    const QPoint origin = originFor(anchor, size(), m_edge, bounds);
    const int inset = CornerRadius + ArrowHalfWidth;
    m_arrowY = std::clamp(anchor.center().y() - origin.y(), inset, std::max(inset, height() - inset));
    m_arrowX = std::clamp(anchor.center().x() - origin.x(), inset, std::max(inset, width() - inset));
    move(origin);
    // Opaque: the window is cut to the bubble, so nothing outside it shows.
    if (!m_translucent) setMask(QRegion(bubblePath().toFillPolygon().toPolygon()));
    update();
}

bool PLYOnboardingPopover::eventFilter(QObject* watched, QEvent* event) {
    if (m_anchorView && watched == m_anchorView->window() && event->type() == QEvent::Resize && isVisible()) place();
    return QWidget::eventFilter(watched, event);
}

void PLYOnboardingPopover::closePopover() {
    m_closingByProgram = true;
    hide();
}

void PLYOnboardingPopover::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Inside the window only the program closes it; it hides with its window.
    const bool byUser = !m_closingByProgram && m_presentation == Presentation::Transient;
    m_closingByProgram = true;  // announced once
    if (byUser) emit closedByUser();
}

QPainterPath PLYOnboardingPopover::bubblePath() const {
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
    return path.united(arrow);
}

void PLYOnboardingPopover::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath path = bubblePath();
    // Opaque: every pixel is painted, the bubble's colour outside its outline too (the mask
    // keeps those off screen).
    if (!m_translucent) painter.fillRect(rect(), palette().color(QPalette::Window));
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
