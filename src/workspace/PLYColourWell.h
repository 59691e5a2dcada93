#pragma once

#include "PLYLayout.pb.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

class QColorDialog;

// A swatch of a colour that opens a colour panel when clicked. While the panel is open each
// colour the user picks is applied at once and announced with `colourChosen`; setting the colour
// in code is silent.
class PLYColourWell : public QWidget {
    Q_OBJECT
public:
    explicit PLYColourWell(QWidget* parent = nullptr);
    ~PLYColourWell() override;

    QColor colour() const { return m_colour; }
    void setColour(const QColor& colour);

    // Opens the colour panel for this well, leaving the rest of the window usable.
    void activate();
    bool isActive() const;
    // The user chose `colour` (from the panel): it is shown and announced.
    void chooseColour(const QColor& colour);

    // The gesture in the panel under way, by a number of its own: a press held there (a drag
    // over the colour field or the lightness bar, an arrow held down) or the typing in one of its
    // fields. The colours chosen within it share it, and a caller may take them as one change.
    // 0 outside one.
    quint64 stroke() const { return m_pressStroke ? m_pressStroke : m_typingStroke; }

    // A layout colour of a colour: each component in RGB times 255, rounded down.
    static PLYColour layoutColour(const QColor& colour);

    QSize sizeHint() const override { return {44, 24}; }

signals:
    void colourChosen(const QColor& colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QColor m_colour = Qt::white;
    QPointer<QColorDialog> m_panel;
    quint64 m_strokes = 0;
    quint64 m_pressStroke = 0;
    quint64 m_typingStroke = 0;
};
