#include "PLYSlidingButtonStack.h"

#include "PLYAnimator.h"
#include "PLYColor.h"

#include <QHBoxLayout>
#include <QPushButton>

PLYSlidingButtonStack::PLYSlidingButtonStack(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_highlight = new QWidget(this);
    m_highlight->setObjectName(QStringLiteral("slidingHighlight"));
    m_highlight->setAutoFillBackground(true);
    QPalette p = m_highlight->palette();
    p.setColor(QPalette::Window, PLYColor::kro_blueColour());
    m_highlight->setPalette(p);
    m_highlight->lower();
}

void PLYSlidingButtonStack::setTitles(const QStringList& titles) {
    qDeleteAll(m_buttons);
    m_buttons.clear();
    for (int i = 0; i < titles.size(); ++i) {
        auto* button = new QPushButton(titles[i], this);
        button->setFlat(true);
        button->setCheckable(true);
        connect(button, &QPushButton::clicked, this, [this, i] { picked(i); });
        layout()->addWidget(button);
        m_buttons.append(button);
    }
    m_selected = titles.isEmpty() ? 0 : qBound(0, m_selected, int(titles.size()) - 1);
    setSelectedIndex(m_selected);
}

QStringList PLYSlidingButtonStack::titles() const {
    QStringList out;
    for (auto* b : m_buttons) out << b->text();
    return out;
}

void PLYSlidingButtonStack::setSelectedIndex(int index) {
    if (index < 0 || index >= m_buttons.size()) return;
    const bool moved = index != m_selected;
    m_selected = index;
    for (int i = 0; i < m_buttons.size(); ++i) m_buttons[i]->setChecked(i == index);
    slideHighlight(moved);
}

void PLYSlidingButtonStack::picked(int index) {
    setSelectedIndex(index);
    // A copy: the delegate may replace itself.
    if (auto delegate = m_delegate) delegate->buttonStackDidSelectIndex(this, index);
}

QRect PLYSlidingButtonStack::highlightGeometry() const { return m_highlight->geometry(); }
void PLYSlidingButtonStack::setHighlightGeometry(const QRect& rect) { m_highlight->setGeometry(rect); }

void PLYSlidingButtonStack::slideHighlight(bool animated) {
    QPushButton* target = m_buttons.value(m_selected);
    if (!target) {
        m_highlight->hide();
        return;
    }
    m_highlight->show();
    const QRect end = target->geometry();
    if (animated && isVisible())
        PLYAnimator::shared()->animate(this, "highlightGeometry", end, 200);
    else
        setHighlightGeometry(end);
}

void PLYSlidingButtonStack::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    slideHighlight(false);
}
