#include "PLYSegmentedControl.h"

#include <QHBoxLayout>
#include <QToolButton>

PLYSegmentedControl::PLYSegmentedControl(QWidget* parent) : QWidget(parent) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

int PLYSegmentedControl::addSegment(const QString& text, const QString& toolTip, const QIcon& icon) {
    auto* button = new QToolButton(this);
    const int index = int(m_segments.size());
    button->setObjectName(QStringLiteral("segment%1").arg(index));
    button->setCheckable(true);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    if (icon.isNull()) {
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    } else {
        button->setIcon(icon);
        button->setIconSize(QSize(16, 16));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    }
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // The style's minimum would make a row of four wider than an inspector; what shows is enough.
    button->setMinimumWidth(icon.isNull() ? fontMetrics().horizontalAdvance(text) + 10 : 26);
    button->setFixedHeight(24);
    button->setFocusPolicy(Qt::TabFocus);
    connect(button, &QToolButton::clicked, this, [this, index] {
        setSelectedSegment(index);
        emit segmentChosen(index);
    });
    static_cast<QHBoxLayout*>(layout())->addWidget(button);
    m_segments << button;
    restyle();
    setSelectedSegment(m_selected);
    return index;
}

void PLYSegmentedControl::setSelectedSegment(int index) {
    m_selected = index >= 0 && index < count() ? index : -1;
    for (int i = 0; i < count(); ++i) m_segments[i]->setChecked(i == m_selected);
}

void PLYSegmentedControl::restyle() {
    // One frame around the row: each segment draws its right edge, the first also its left.
    const QString base = QStringLiteral(
        "QToolButton { border: 1px solid rgba(0, 0, 0, 0.22); border-left: none; background: white;"
        " padding: 2px 6px; %1 }"
        "QToolButton:checked { background: rgba(0, 0, 0, 0.13); }"
        "QToolButton:hover:!checked { background: rgba(0, 0, 0, 0.04); }");
    for (int i = 0; i < count(); ++i) {
        QString corners;
        if (i == 0) corners += QStringLiteral("border-left: 1px solid rgba(0, 0, 0, 0.22);"
                                              " border-top-left-radius: 5px; border-bottom-left-radius: 5px;");
        if (i == count() - 1) corners += QStringLiteral(" border-top-right-radius: 5px; border-bottom-right-radius: 5px;");
        m_segments[i]->setStyleSheet(base.arg(corners));
    }
}
