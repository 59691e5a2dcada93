#include "PLYStepper.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

PLYStepper::PLYStepper(QWidget* parent) : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    setFocusPolicy(Qt::TabFocus);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(18, 12);
        button->setAutoRaise(false);
        layout->addWidget(button);
    }
    m_up->setObjectName(QStringLiteral("stepUpButton"));
    m_down->setObjectName(QStringLiteral("stepDownButton"));
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    m_up->setToolTip(tr("Increase"));
    m_down->setToolTip(tr("Decrease"));
    connect(m_up, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { stepBy(-1); });
    updateButtons();
}

void PLYStepper::setValue(qint64 value) {
    m_value = std::clamp(value, m_minimum, m_maximum);
    updateButtons();
}

void PLYStepper::setRange(qint64 minimum, qint64 maximum) {
    m_minimum = std::min(minimum, maximum);
    m_maximum = std::max(minimum, maximum);
    setValue(m_value);
}

void PLYStepper::stepBy(qint64 steps) {
    const qint64 next = std::clamp(m_value + steps * m_increment, m_minimum, m_maximum);
    if (next == m_value) return;
    m_value = next;
    updateButtons();
    emit stepped(m_value);
}

QSize PLYStepper::sizeHint() const { return {18, 24}; }

void PLYStepper::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up) stepBy(1);
    else if (event->key() == Qt::Key_Down) stepBy(-1);
    else QWidget::keyPressEvent(event);
}

void PLYStepper::updateButtons() {
    m_up->setEnabled(m_value < m_maximum);
    m_down->setEnabled(m_value > m_minimum);
}
