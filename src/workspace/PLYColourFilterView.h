#pragma once

#include <QPointF>
#include <QVector>
#include <QWidget>

class PLYColourFilterDelegate;

// Seven coloured dots choosing the set of colour labels the gallery shows: a click on a dot
// adds its label to the mask or takes it out, and every click is reported to the delegate (not
// owned). The bit of label L is 1 << (L - 1).
class PLYColourFilterView : public QWidget {
    Q_OBJECT
public:
    explicit PLYColourFilterView(QWidget* parent = nullptr);

    qint64 currentFilterSelection() const { return m_mask; }
    void setCurrentFilterSelection(qint64 mask);
    qint64 currentHoverType() const { return m_hover; }
    PLYColourFilterDelegate* delegate() const { return m_delegate; }
    void setDelegate(PLYColourFilterDelegate* delegate) { m_delegate = delegate; }

    // Mask 0, without telling the delegate.
    void clearFilter();

    // Places the dots' centres at the view's middle height (again whenever the height changed).
    void layout();
    QPointF centreOfType(qint64 type) const;
    // The bit of the first dot holding the point, or 0.
    qint64 typeUnderPoint(const QPointF& point) const;
    static bool isPointInCircleAtPoint(const QPointF& point, const QPointF& centre);

    QSize sizeHint() const override { return QSize(150, 24); }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void drawDotForType(QPainter& painter, qint64 label, const QPointF& centre);

    qint64 m_mask = 0;
    qint64 m_hover = 0;
    const QVector<QPointF>& centres() const;

    mutable QVector<QPointF> m_centres;  // of labels 1..7
    mutable int m_laidOutHeight = -1;
    PLYColourFilterDelegate* m_delegate = nullptr;
};
