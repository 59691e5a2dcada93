#include "PLYStepper.h"

#include <QMouseEvent>
#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace {
// An arrow that tells when it is pressed and when it is let go. Held down it steps while it
// repeats and once more as it is released, so the press ends only after the button has handled
// the release.
class ArrowButton : public QToolButton {
public:
    ArrowButton(QWidget* parent, std::function<void(bool)> held) : QToolButton(parent), m_held(std::move(held)) {}

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) m_held(true);
        QToolButton::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        QToolButton::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton) m_held(false);
    }

private:
    std::function<void(bool)> m_held;
};
}  // namespace

PLYStepper::PLYStepper(QWidget* parent)
    : QWidget(parent),
      m_up(new ArrowButton(this, [this](bool held) { setHeld(held); })),
      m_down(new ArrowButton(this, [this](bool held) { setHeld(held); })) {
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
    if (event->key() != Qt::Key_Up && event->key() != Qt::Key_Down) return QWidget::keyPressEvent(event);
    // A key held down repeats within its press.
    if (!event->isAutoRepeat()) setHeld(true);
    stepBy(event->key() == Qt::Key_Up ? 1 : -1);
}

void PLYStepper::keyReleaseEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Up || event->key() == Qt::Key_Down) && !event->isAutoRepeat()) setHeld(false);
    QWidget::keyReleaseEvent(event);
}

void PLYStepper::setHeld(bool held) { m_stroke = held ? ++m_strokes : 0; }

void PLYStepper::updateButtons() {
    m_up->setEnabled(m_value < m_maximum);
    m_down->setEnabled(m_value > m_minimum);
}
