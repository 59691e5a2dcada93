#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

// The header of a gallery section other than the first: its title, the count of its images
// and a button that collapses it. The button flips `collapsed`, then tells the target.
class PLYGalleryHeaderView : public QWidget {
    Q_OBJECT
public:
    using Target = std::function<void(PLYGalleryHeaderView*)>;

    explicit PLYGalleryHeaderView(QWidget* parent = nullptr);

    QLabel* titleLabel() const { return m_titleLabel; }
    QLabel* numberLabel() const { return m_numberLabel; }
    QToolButton* collapseButton() const { return m_collapseButton; }

    int section() const { return m_section; }
    void setSection(int section) { m_section = section; }
    bool collapsed() const { return m_collapsed; }
    // Also sets the button: on (pointing down) while the section is open.
    void setCollapsed(bool collapsed);
    bool collapseButtonState() const { return !m_collapsed; }
    void setTarget(Target target) { m_target = std::move(target); }

    void collapsedButtonAction();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_titleLabel;
    QLabel* m_numberLabel;
    QToolButton* m_collapseButton;
    int m_section = 0;
    bool m_collapsed = false;
    Target m_target;
};
