#include "PLYColourWell.h"

#include <QColorDialog>
#include <QPainter>
#include <QStyleOptionButton>

PLYColourWell::PLYColourWell(QWidget* parent) : QPushButton(parent) {
    setFixedSize(48, 26);
    setCursor(Qt::PointingHandCursor);
    connect(this, &QPushButton::clicked, this, &PLYColourWell::openPicker);
}

void PLYColourWell::setColour(const QColor& colour) {
    if (!colour.isValid()) return;
    m_colour = colour;
    setToolTip(colour.name().toUpper());
    update();
}

void PLYColourWell::openPicker() {
    if (m_picker) {
        m_picker->raise();
        return;
    }
    m_picker = new QColorDialog(m_colour, this);
    m_picker->setObjectName(QStringLiteral("colourPicker"));
    // The desktop's own picker would not be found by tests nor parented to this window.
    m_picker->setOption(QColorDialog::DontUseNativeDialog);
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_picker, &QColorDialog::colorSelected, this, [this](const QColor& colour) {
        if (!colour.isValid() || colour == m_colour) return;
        setColour(colour);
        emit colourChanged(colour);
    });
    m_picker->open();
}

void PLYColourWell::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF swatch = QRectF(rect()).adjusted(7.5, 6.5, -7.5, -6.5);
    painter.setPen(QPen(QColor(0, 0, 0, 90), 1));
    painter.setBrush(m_colour);
    painter.drawRoundedRect(swatch, 2, 2);
}
