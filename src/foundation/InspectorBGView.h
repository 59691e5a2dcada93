#pragma once

#include <QColor>
#include <QWidget>

// The inspector's panel background: a fill with a one-point line at the bottom, or at the top.
class InspectorBGView : public QWidget {
    Q_OBJECT
public:
    explicit InspectorBGView(QWidget* parent = nullptr);

    void setLineOnTop(bool onTop);
    bool lineOnTop() const { return m_lineOnTop; }
    void setBgColour(const QColor& colour);
    QColor bgColour() const { return m_bg; }

    static QColor lineColour() { return QColor(0xDD, 0xDD, 0xDD); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_lineOnTop = false;
    QColor m_bg = Qt::white;
};
