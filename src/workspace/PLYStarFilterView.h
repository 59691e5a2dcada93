#pragma once

#include <QRectF>
#include <QWidget>

class PLYStarFilterDelegate;

// A comparator button and five stars choosing the gallery's star filter. A click on the
// comparator steps it exactly → at most → at least → exactly; a click on star n chooses n, or
// clears the filter when n was chosen; a click elsewhere clears it. Each click is reported to
// the delegate (not owned).
class PLYStarFilterView : public QWidget {
    Q_OBJECT
public:
    explicit PLYStarFilterView(QWidget* parent = nullptr);

    qint64 currentFilterSelection() const { return m_selection; }
    void setCurrentFilterSelection(qint64 selection);
    qint64 currentComparator() const { return m_comparator; }
    void setCurrentComparator(qint64 comparator);
    qint64 currentHighlight() const { return m_highlight; }
    PLYStarFilterDelegate* delegate() const { return m_delegate; }
    void setDelegate(PLYStarFilterDelegate* delegate) { m_delegate = delegate; }

    // Selection 0, without telling the delegate; the comparator stays.
    void clearFilter();

    QRectF rectForComparatorButton() const;
    // Star 1 to 5.
    QRectF rectForStar(int star) const;
    // The first star whose rectangle holds the point, or 0.
    int starAtPoint(const QPointF& point) const;

    QSize sizeHint() const override { return QSize(150, 24); }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    qint64 m_selection = 0;
    qint64 m_comparator = 1;
    qint64 m_highlight = 0;
    PLYStarFilterDelegate* m_delegate = nullptr;
};
