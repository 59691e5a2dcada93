#include "PLYGalleryHeaderView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

PLYGalleryHeaderView::PLYGalleryHeaderView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PLYGalleryHeaderView"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 0, 10, 0);
    layout->setSpacing(4);
    m_collapseButton = new QToolButton(this);
    m_collapseButton->setObjectName(QStringLiteral("collapseButton"));
    m_collapseButton->setAutoRaise(true);
    m_collapseButton->setFixedSize(18, 18);
    m_collapseButton->setFocusPolicy(Qt::NoFocus);
    m_titleLabel = new QLabel(this);
    m_titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont bold = m_titleLabel->font();
    bold.setBold(true);
    m_titleLabel->setFont(bold);
    m_numberLabel = new QLabel(this);
    m_numberLabel->setObjectName(QStringLiteral("numberLabel"));
    m_numberLabel->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_collapseButton);
    layout->addWidget(m_titleLabel);
    layout->addWidget(m_numberLabel);
    layout->addStretch(1);
    setCollapsed(false);
    connect(m_collapseButton, &QToolButton::clicked, this, [this] { collapsedButtonAction(); });
}

void PLYGalleryHeaderView::setCollapsed(bool collapsed) {
    m_collapsed = collapsed;
    m_collapseButton->setArrowType(collapsed ? Qt::RightArrow : Qt::DownArrow);
    m_collapseButton->setToolTip(collapsed ? tr("Show this section") : tr("Collapse this section"));
}

void PLYGalleryHeaderView::collapsedButtonAction() {
    setCollapsed(!m_collapsed);
    if (m_target) m_target(this);
}

void PLYGalleryHeaderView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(QPointF(0, height() - 0.5), QPointF(width(), height() - 0.5));
}
