#include "PLYErrorBox.h"

#include "PLYColor.h"
#include "PLYSafeText.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

PLYErrorBox::PLYErrorBox(QWidget* parent) : QFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    m_content = new QVBoxLayout;
    layout->addLayout(m_content);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("errorLabel"));
    m_label->setWordWrap(true);
    // It shows the service's messages, as they are written.
    PLYSafeText::makePlain(m_label);
    QPalette p = m_label->palette();
    p.setColor(QPalette::WindowText, PLYColor::kro_errorRedColour());
    m_label->setPalette(p);
    m_label->hide();
    layout->addWidget(m_label);
}

QColor PLYErrorBox::borderColour() const { return m_error ? PLYColor::kro_errorRedColour() : defaultBorderColour(); }

void PLYErrorBox::setErrorState(bool error) {
    m_error = error;
    m_label->setVisible(error && m_showsLabel);
    update();
}

void PLYErrorBox::setShowsErrorLabel(bool shows) {
    m_showsLabel = shows;
    m_label->setVisible(m_error && m_showsLabel);
}

void PLYErrorBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(borderColour(), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}
