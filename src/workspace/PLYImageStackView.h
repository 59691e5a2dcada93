#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

class QGraphicsOpacityEffect;
class QLabel;

// The picture of the image page: one image, or a stack of three copies of it with a count badge
// when several images are selected. The front image keeps `previewImageRightInset` and
// `previewImageBottomInset` free to its right and bottom; the two copies behind it peek out
// there. Going between one and several animates the insets and the fading of the copies and
// the badge.
class PLYImageStackView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int previewImageRightInset READ rightInset WRITE setRightInset)
    Q_PROPERTY(int previewImageBottomInset READ bottomInset WRITE setBottomInset)
public:
    static constexpr int SingleInset = 15;
    static constexpr int StackInset = 31;
    static constexpr int AnimationMs = 350;

    explicit PLYImageStackView(QWidget* parent = nullptr);

    QLabel* previewImageView() const { return m_front; }
    QLabel* secondImageView() const { return m_second; }
    QLabel* thirdImageView() const { return m_third; }
    QLabel* imageCountLabel() const { return m_count; }
    // The opacity of one of the views above.
    static double alphaOf(const QWidget* view);

    // Every layer shows `image`; a null image empties them.
    void setImage(const QImage& image);
    QImage image() const { return m_image; }

    // One image, or `count` of them stacked. Only a change between the two animates.
    void showSingle();
    void showStack(qsizetype count);

    int rightInset() const { return m_rightInset; }
    void setRightInset(int inset);
    int bottomInset() const { return m_bottomInset; }
    void setBottomInset(int inset);

    QSize sizeHint() const override { return {268, 178}; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLabel* makeLayer(const char* name);
    void relayout();
    void animateTo(bool stacked);

    QImage m_image;
    QLabel* m_third;
    QLabel* m_second;
    QLabel* m_front;
    QLabel* m_count;
    int m_rightInset = SingleInset;
    int m_bottomInset = SingleInset;
    std::optional<bool> m_stacked;
};
