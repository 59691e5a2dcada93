#include "PLYStarFilterView.h"

#include "PLYGalleryDrawing.h"
#include "PLYInterfaceNames.h"
#include "PLYStarFilterDelegate.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr double kSide = 13;
constexpr double kComparatorX = 21;
constexpr double kStarSpacing = 6;

// Half-open, as every hit test of the application.
bool pointInRect(const QPointF& p, const QRectF& r) {
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}
}  // namespace

PLYStarFilterView::PLYStarFilterView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("filterStarView"));
    setMouseTracking(true);
    setMinimumSize(sizeHint());
    setToolTip(tr("Filter by star rating: the sign chooses at most, exactly or at least"));
}

void PLYStarFilterView::setCurrentFilterSelection(qint64 selection) {
    m_selection = selection;
    update();
}

void PLYStarFilterView::setCurrentComparator(qint64 comparator) {
    m_comparator = comparator;
    update();
}

void PLYStarFilterView::clearFilter() {
    m_selection = 0;
    update();
}

QRectF PLYStarFilterView::rectForComparatorButton() const {
    return QRectF(kComparatorX, (height() - kSide) / 2.0, kSide, kSide);
}

QRectF PLYStarFilterView::rectForStar(int star) const {
    const QRectF comparator = rectForComparatorButton();
    const double x = comparator.x() + comparator.width() + kStarSpacing * star + kSide * (star - 1);
    return QRectF(x, comparator.y(), kSide, kSide);
}

int PLYStarFilterView::starAtPoint(const QPointF& point) const {
    for (int star = 1; star <= 5; ++star)
        if (pointInRect(point, rectForStar(star))) return star;
    return 0;
}

void PLYStarFilterView::mouseMoveEvent(QMouseEvent* event) {
    m_highlight = starAtPoint(event->position());
    update();
}

void PLYStarFilterView::leaveEvent(QEvent* event) {
    m_highlight = 0;
    update();
    QWidget::leaveEvent(event);
}

void PLYStarFilterView::mousePressEvent(QMouseEvent* event) {
    const QPointF point = event->position();
    if (pointInRect(point, rectForComparatorButton())) {
        m_comparator = m_comparator == 0 ? -1 : (m_comparator == -1 ? 1 : 0);
        if (m_delegate) m_delegate->starFilterSetComparatorValue(this, m_comparator);
    } else {
        const int star = starAtPoint(point);
        m_selection = (star != 0 && m_selection != star) ? star : 0;
        if (m_delegate) m_delegate->starFilterSetFilterSelection(this, m_selection);
    }
    update();
    event->accept();
}

void PLYStarFilterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    using namespace PLYInterfaceNames;
    const char* comparator = m_comparator == 0 ? ImageEqual : (m_comparator == -1 ? ImageLessThan : ImageGreaterThan);
    PLYGalleryDrawing::namedIcon(QString::fromLatin1(comparator)).paint(&painter, rectForComparatorButton().toRect());
    const QIcon selected = PLYGalleryDrawing::namedIcon(QString::fromLatin1(ImageStarSelected));
    const QIcon deselected = PLYGalleryDrawing::namedIcon(QString::fromLatin1(ImageStarDeselected));
    for (int star = 1; star <= 5; ++star) {
        const QRect rect = rectForStar(star).toRect();
        if (m_selection >= star) {
            selected.paint(&painter, rect);
        } else if (m_highlight >= star) {
            painter.setOpacity(0.6);
            selected.paint(&painter, rect);
            painter.setOpacity(1.0);
        } else {
            deselected.paint(&painter, rect);
        }
    }
}
