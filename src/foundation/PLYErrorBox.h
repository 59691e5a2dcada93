#pragma once

#include <QColor>
#include <QFrame>

class QLabel;
class QVBoxLayout;

// A bordered box around a form field. In its error state the border turns the palette's
// error red and the error label shows.
class PLYErrorBox : public QFrame {
    Q_OBJECT
public:
    explicit PLYErrorBox(QWidget* parent = nullptr);

    void setErrorState(bool error);
    bool errorState() const { return m_error; }
    QLabel* errorLabel() const { return m_label; }
    // Off: the error state turns only the border red; the caller shows its message elsewhere.
    void setShowsErrorLabel(bool shows);
    // Where the field itself goes, above the error label.
    QVBoxLayout* contentLayout() const { return m_content; }
    QColor borderColour() const;

    static QColor defaultBorderColour() { return QColor(0xD0, 0xD0, 0xD0); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_error = false;
    bool m_showsLabel = true;
    QLabel* m_label;
    QVBoxLayout* m_content;
};
