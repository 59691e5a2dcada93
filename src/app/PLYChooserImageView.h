#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

// A post's preview on its tile: white behind, the picture as wide as the view with its top at the
// view's top; a preview taller than the view overflows below and, while the pointer is over the
// view, slides up so its lower end comes into view. A blue frame marks the selection.
class PLYChooserImageView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(qreal imageTop READ imageTop WRITE setImageTop)
public:
    static constexpr double SelectionBorderWidth = 3.0;

    explicit PLYChooserImageView(QWidget* parent = nullptr);

    QImage representedImage() const { return m_image; }
    void setRepresentedImage(const QImage& image);
    // Instead of a preview: a small picture centred on light grey (a post without a preview).
    void setPlaceholderImage(const QImage& image);
    bool showsPlaceholder() const { return m_placeholder; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // Where the picture's top lies in the view: 0 at rest, (view height - picture height) while
    // hovered when the picture overflows.
    qreal imageTop() const { return m_imageTop; }
    void setImageTop(qreal top);
    // The picture's height at the view's width.
    qreal imageHeight() const;
    qreal restingImageTop() const { return 0; }
    qreal hoveredImageTop() const;
    bool isHovered() const { return m_hovered; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void slideTo(qreal top);
    void rest();

    QImage m_image;
    QPixmap m_scaled;  // the picture at the view's width and the screen's density
    bool m_placeholder = false;
    bool m_selected = false;
    bool m_hovered = false;
    qreal m_imageTop = 0;
};
