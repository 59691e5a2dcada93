#pragma once

#include <QColor>
#include <QColorDialog>
#include <QPointer>
#include <QPushButton>

// A button showing a colour; a click opens a colour picker beside it, and the chosen colour
// becomes the well's and is announced.
class PLYColourWell : public QPushButton {
    Q_OBJECT
public:
    explicit PLYColourWell(QWidget* parent = nullptr);

    QColor colour() const { return m_colour; }
    // Shows `colour` without announcing it.
    void setColour(const QColor& colour);
    // The picker while it is open.
    QColorDialog* picker() const { return m_picker; }

signals:
    void colourChanged(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void openPicker();

    QColor m_colour = Qt::white;
    QPointer<QColorDialog> m_picker;
};
