#include "PLYPopUpButton.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionComboBox>
#include <QStylePainter>

PLYPopUpButton::PLYPopUpButton(QWidget* parent) : QWidget(parent), m_menu(new QMenu(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAttribute(Qt::WA_Hover);
}

QAction* PLYPopUpButton::addItem(const QString& title, int tag) {
    QAction* item = m_menu->addAction(title);
    item->setCheckable(true);
    item->setData(tag);
    connect(item, &QAction::triggered, this, [this, item] { choose(item); });
    updateGeometry();
    return item;
}

QAction* PLYPopUpButton::itemWithTag(int tag) const {
    for (QAction* item : m_menu->actions())
        if (!item->isSeparator() && item->data().toInt() == tag) return item;
    return nullptr;
}

QList<QAction*> PLYPopUpButton::items() const {
    QList<QAction*> items;
    for (QAction* item : m_menu->actions())
        if (!item->isSeparator()) items << item;
    return items;
}

void PLYPopUpButton::selectItemWithTag(int tag) {
    QAction* selected = tag >= 0 ? itemWithTag(tag) : nullptr;
    m_selectedTag = selected ? tag : -1;
    for (QAction* item : items()) item->setChecked(item == selected);
    if (selected) setTitle(selected->text());
}

void PLYPopUpButton::setItemStates(const QSet<int>& onTags) {
    for (QAction* item : items()) item->setChecked(onTags.contains(item->data().toInt()));
}

void PLYPopUpButton::setTitle(const QString& title) {
    if (title == m_title) return;
    m_title = title;
    updateGeometry();
    update();
}

void PLYPopUpButton::showMenu() {
    if (!isEnabled() || m_menu->isVisible()) return;
    m_menu->setMinimumWidth(width());
    // The current item opens over the button, as pop-ups do; without one the menu drops down.
    QAction* current = itemWithTag(m_selectedTag);
    if (current) m_menu->setActiveAction(current);
    m_menu->popup(mapToGlobal(current ? QPoint(0, 0) : QPoint(0, height())), current);
}

void PLYPopUpButton::choose(QAction* item) {
    selectItemWithTag(item->data().toInt());
    emit activated(m_selectedTag);
}

QSize PLYPopUpButton::sizeHint() const {
    QStyleOptionComboBox option;
    option.initFrom(this);
    int textWidth = fontMetrics().horizontalAdvance(m_title);
    for (QAction* item : items()) textWidth = qMax(textWidth, fontMetrics().horizontalAdvance(item->text()));
    const QSize contents(textWidth + 4, qMax(fontMetrics().height(), 14));
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, contents, this);
}

QSize PLYPopUpButton::minimumSizeHint() const {
    QSize hint = sizeHint();
    hint.setWidth(qMin(hint.width(), 60));
    return hint;
}

void PLYPopUpButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    option.initFrom(this);
    option.editable = false;
    option.frame = true;
    option.currentText = m_title;
    if (m_menu->isVisible()) option.state |= QStyle::State_On | QStyle::State_Sunken;
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void PLYPopUpButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        showMenu();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void PLYPopUpButton::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Down:
    case Qt::Key_Up:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        showMenu();
        event->accept();
        return;
    default: QWidget::keyPressEvent(event);
    }
}
