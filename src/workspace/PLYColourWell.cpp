#include "PLYColourWell.h"

#include <QAbstractSpinBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

PLYColourWell::PLYColourWell(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setToolTip(tr("Choose a colour"));
}

PLYColourWell::~PLYColourWell() { delete m_panel; }

void PLYColourWell::setColour(const QColor& colour) {
    if (!colour.isValid() || colour == m_colour) return;
    m_colour = colour;
    update();
    // An open panel shows it too (after an undo, say), so that the next pick starts from it.
    if (m_panel) {
        const QSignalBlocker quiet(m_panel);
        m_panel->setCurrentColor(colour);
    }
}

void PLYColourWell::activate() {
    if (!m_panel) {
        // Parented to the window, so it stays above it and goes with it.
        m_panel = new QColorDialog(window());
        m_panel->setWindowTitle(tr("Colours"));
        // Qt's own panel reports every colour as it is picked, as a colour well should; it has
        // no buttons and stays open beside the window until closed.
        m_panel->setOption(QColorDialog::DontUseNativeDialog);
        m_panel->setOption(QColorDialog::NoButtons);
        connect(m_panel, &QColorDialog::currentColorChanged, this, &PLYColourWell::chooseColour);
        m_panel->installEventFilter(this);
        for (QWidget* part : m_panel->findChildren<QWidget*>()) part->installEventFilter(this);
    }
    const QSignalBlocker quiet(m_panel);
    m_panel->setCurrentColor(m_colour);
    m_panel->show();
    m_panel->raise();
    m_panel->activateWindow();
}

bool PLYColourWell::isActive() const { return m_panel && m_panel->isVisible(); }

void PLYColourWell::chooseColour(const QColor& colour) {
    if (!colour.isValid()) return;
    m_colour = colour;
    update();
    emit colourChosen(colour);
}

PLYColour PLYColourWell::layoutColour(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    PLYColour result;
    result.set_r(float(std::floor(rgb.redF() * 255.0)));
    result.set_g(float(std::floor(rgb.greenF() * 255.0)));
    result.set_b(float(std::floor(rgb.blueF() * 255.0)));
    return result;
}

void PLYColourWell::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(palette().color(hasFocus() ? QPalette::Highlight : QPalette::Mid), 1.0));
    painter.setBrush(palette().color(QPalette::Button));
    painter.drawRoundedRect(frame, 4, 4);
    painter.setPen(QPen(QColor(0, 0, 0, 60), 1.0));
    painter.setBrush(m_colour);
    painter.drawRoundedRect(frame.adjusted(3.5, 3.5, -3.5, -3.5), 2, 2);
}

void PLYColourWell::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) activate();
    else QWidget::mouseReleaseEvent(event);
}

bool PLYColourWell::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_pressStroke = ++m_strokes;
        break;
    case QEvent::MouseButtonRelease:
        m_pressStroke = 0;
        break;
    case QEvent::FocusIn:
        if (qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched)) m_typingStroke = ++m_strokes;
        break;
    case QEvent::FocusOut:
        if (qobject_cast<QLineEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched)) m_typingStroke = 0;
        break;
    case QEvent::Hide:
        if (watched == m_panel) m_pressStroke = m_typingStroke = 0;
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void PLYColourWell::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) activate();
    else QWidget::keyPressEvent(event);
}
