#pragma once

#include <QGraphicsView>
#include <QPointer>

class PLYLayoutView;

// The scroll view of the layout tab: it shows the canvas scene at a magnification (the view's
// scale) and keeps room above and below the document, a fixed number of screen points at any
// magnification. The document is centred across when narrower than the view.
class PLYLayoutScrollView : public QGraphicsView {
    Q_OBJECT
    Q_PROPERTY(double magnification READ magnification WRITE setMagnification NOTIFY magnificationChanged)
public:
    static constexpr double kMinimumMagnification = 0.05;
    static constexpr double kMaximumMagnification = 8.0;
    static constexpr double kContentInsetTop = 100.0;
    static constexpr double kContentInsetBottom = 100.0;

    explicit PLYLayoutScrollView(QWidget* parent = nullptr);
    ~PLYLayoutScrollView() override;

    double magnification() const { return m_magnification; }
    // Kept within the view's range; announces a change only.
    void setMagnification(double magnification);

    // The layout view that is scrolled; it joins the view's scene (which does not own it) and
    // its size is followed.
    PLYLayoutView* documentView() const;
    void setDocumentView(PLYLayoutView* document);

    // Horizontal scrolling is offered only when the document is wider than the view.
    bool allowsHorizontalScrolling() const;

signals:
    void magnificationChanged(double magnification);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateSceneRect();

    QPointer<PLYLayoutView> m_document;
    QMetaObject::Connection m_documentSize;
    double m_magnification = 1.0;
};
