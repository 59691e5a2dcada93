#pragma once

#include "PLYExtendableUndoStep.h"
#include "PLYNotificationCenter.h"

#include <QWidget>
#include <functional>
#include <memory>

class PLYColourWell;
class PLYKeywordTokenField;
class PLYLayoutManager;
class PLYPersistantPost;
class PLYStepper;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The Document tab of the post's inspector: what belongs to the whole post rather than to one
// block. The layout's padding and background colour (edits of the layout manager, each
// announced as a layout change and a step of the post's undo history), the post's SEO title,
// meta description and focus keywords, and how many images the post's locations hold and the
// layout uses. It is handed the post's layout manager and reaches the post through it.
class PLYDocumentViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* PaddingUndoName = "Undo Padding";
    static constexpr const char* BackgroundColourUndoName = "Undo Background Colour";

    explicit PLYDocumentViewController(QWidget* parent = nullptr);
    ~PLYDocumentViewController() override;

    std::shared_ptr<PLYLayoutManager> layoutManager() const { return m_layoutManager; }
    // Stores the manager and fills the tab from it; nothing clears the tab.
    void setLayoutManager(std::shared_ptr<PLYLayoutManager> layoutManager);

    // Fills every control from the layout and the post.
    void ensureUI();
    void imageCountChanged();

    // The controls' actions.
    void setPaddingAction();
    void setPaddingStepperAction();
    void showBackgroundColourWell();
    void setBackgroundColour();
    void addMetaDescription();
    void addFocusKeywords();
    void setSEOTitle();
    void setMetaDescription();
    void setFocusKeywords();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::shared_ptr<PLYPersistantPost> post() const;
    // Runs `change` of the layout and records it as a step of the post's history named
    // `actionName`; changes of one held press of a control (`stroke`, 0 for none) make one step.
    void recordLayoutChange(const char* actionName, quint64 stroke, const std::function<void()>& change);
    // The padding and colour controls show the layout's values (after an undo, say); a value the
    // control already shows is left alone, so that typing goes on undisturbed.
    void showLayoutProperties();

    std::shared_ptr<PLYLayoutManager> m_layoutManager;
    PLYObserverBag m_observers;
    bool m_filling = false;  // set while ensureUI writes the controls, so they echo nothing back
    PLYExtendableUndoStep m_step;
    quint64 m_stepStroke = 0;
    const char* m_stepActionName = nullptr;

    QLineEdit* m_paddingTextField;
    PLYStepper* m_paddingStepper;
    PLYColourWell* m_backgroundColourWell;
    QLabel* m_totalImagesImportedLabel;
    QLabel* m_totalImagesUsedLabel;
    QLineEdit* m_seoTitleTextField;
    QPushButton* m_seoMetaAddButton;
    QWidget* m_seoMetaView;
    QPlainTextEdit* m_seoMetaTextField;
    QPushButton* m_focusKeywordsAddButton;
    QWidget* m_focusKeywordView;
    PLYKeywordTokenField* m_focusKeywordTokenField;
};
