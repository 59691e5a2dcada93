#include "PLYProgressIndicator.h"

#include <QPainter>
#include <QtMath>

namespace {
constexpr int kSpokes = 12;
constexpr int kFrameMs = 80;
}  // namespace

PLYProgressIndicator::PLYProgressIndicator(QWidget* parent, int diameter) : QWidget(parent), m_diameter(diameter) {
    setFixedSize(diameter, diameter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer.setInterval(kFrameMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % kSpokes;
        update();
    });
}

void PLYProgressIndicator::startAnimation() {
    m_wanted = true;
    // A hidden spinner would only burn timer ticks; it starts turning when it shows.
    if (isVisible()) m_timer.start();
    update();
}

void PLYProgressIndicator::stopAnimation() {
    m_wanted = false;
    m_timer.stop();
    update();
}

void PLYProgressIndicator::hideEvent(QHideEvent* event) {
    m_timer.stop();
    QWidget::hideEvent(event);
}

void PLYProgressIndicator::showEvent(QShowEvent* event) {
    if (m_wanted) m_timer.start();
    QWidget::showEvent(event);
}

void PLYProgressIndicator::paintEvent(QPaintEvent*) {
    if (!m_wanted) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double outer = m_diameter / 2.0 - 1.0;
    const double inner = outer * 0.45;
    QColor colour = palette().color(QPalette::WindowText);
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is darkest; the others fade behind it.
        const int age = (m_step - i + kSpokes) % kSpokes;
        colour.setAlphaF(1.0 - 0.75 * age / double(kSpokes - 1));
        QPen pen(colour, qMax(1.5, m_diameter / 10.0), Qt::SolidLine, Qt::RoundCap);
        painter.setPen(pen);
        const double angle = 2 * M_PI * i / kSpokes - M_PI / 2;
        const QPointF dir(qCos(angle), qSin(angle));
        painter.drawLine(centre + dir * inner, centre + dir * outer);
    }
}
