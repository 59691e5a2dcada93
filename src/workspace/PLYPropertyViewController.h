#pragma once

#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPropertyPages.h"
#include "PLYRichTextEditorDelegate.h"

#include <QTimer>
#include <QWidget>
#include <memory>

class PLYColourWell;
class PLYImageStackView;
class PLYKeywordTokenField;
class PLYLayoutBlockInteractionHandler_Text;
class PLYPopUpButton;
class PLYSegmentedControl;
class PLYUndoManager;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

// The Properties tab of the post's inspector: one page for the kind of the selected blocks
// (image, blank, text, download button) or a message, filled from the blocks, its controls
// turned into edits of those blocks through the post's layout manager. It follows the manager's
// selection and edit block, and refills its page after every change of the layout, so it also
// shows edits made on the canvas and by undo.
//
// The blocks an edit applies to: the edit block alone when there is one, else the selection;
// the download-button edits always the selection. Each edit touches only the blocks of the kind
// it belongs to. Every edit is a step of the post's undo history, undoable and redoable.
class PLYPropertyViewController : public QWidget,
                                  public PLYLayoutManagerInteractionProxy,
                                  public PLYRichTextEditorDelegate {
    Q_OBJECT
public:
    // Every edit made here is one step of the post's history, named:
    static constexpr const char* AspectRatioUndoName = "Undo Aspect Ratio";
    static constexpr const char* KeywordsUndoName = "Undo Keywords";
    static constexpr const char* TextStyleUndoName = "Undo Text Style";
    static constexpr const char* AlignmentUndoName = "Undo Alignment";
    static constexpr const char* WidthUndoName = "Undo Width";
    static constexpr const char* ColourUndoName = "Undo Text Colour";
    static constexpr const char* ButtonTitleUndoName = "Undo Button Title";
    static constexpr const char* ButtonStyleUndoName = "Undo Button Style";

    explicit PLYPropertyViewController(QWidget* parent = nullptr);
    ~PLYPropertyViewController() override;

    std::shared_ptr<PLYLayoutManager> layoutManager() const { return m_layoutManager; }
    // Follows this manager's selection (registering once) and shows its current selection.
    void setLayoutManager(std::shared_ptr<PLYLayoutManager> layoutManager);

    PLYPropertyPages::Page currentPage() const;

    // PLYLayoutManagerInteractionProxy
    void layoutManagerDidSelectBlocks(PLYLayoutManager* manager, const QList<PLYBlock*>& blocks) override;
    // The edit block's page; leaving edit mode shows the selection's.
    void layoutManagerDidSetEditBlock(PLYLayoutManager* manager, PLYBlock* block) override;
    void layoutManagerDidRelayoutBlockProperties(PLYLayoutManager* manager) override;

    // PLYRichTextEditorDelegate: the bold, italic and link buttons show the editor's selection.
    void selectionForEditor(PLYRichTextEditor* editor, const PLYRichTextSelection& changedTo, bool isBold,
                            bool isItalic, bool isUnderline, bool isLinked, const QColor& textBackgroundColor,
                            const QColor& textColor) override;
    void richTextEditorChangeAboutToOccurOfType(PLYRichTextEditor* editor, PLYRichTextChangeType type) override;

    // Page fillers.
    void ensureImageTab(const QList<PLYBlock*>& blocks);
    void ensureBlankTab(const QList<PLYBlock*>& blocks);
    void ensureTextTab(const QList<PLYBlock*>& blocks);
    void ensureDownloadTab(const QList<PLYBlock*>& blocks);

    // The controls' actions.
    void setImageAspectRatio(PLYPopUpButton* sender);
    void revertImageAspectRatio();
    void enterEditMode();
    void setImageKeywords();
    void setTextStyle();
    void setTextAlignment();
    void setTextWidth();
    void openTextColour();
    void setTextColour();
    void setTextBold();
    void setTextItalic();
    void setTextLink();
    void setDownloadTitle();
    void setDownloadStyle();
    void setDownloadAlignment();
    void setDownloadSize();

    // The undoable aspect-ratio edit: block i takes factor i, or every block the one factor
    // given. Blocks whose ratio does not change are left out of the undo; nothing changed,
    // nothing is registered.
    void setAspectRatios(const QList<double>& factors, const QStringList& blockIds);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildEmptyPage();
    void buildImagePage();
    void buildBlankPage();
    void buildTextPage();
    void buildDownloadPage();

    void showPageForBlocks(const QList<PLYBlock*>& blocks);
    void showMessage(const QString& message);
    void refresh();
    // The blocks an edit applies to, and their identifiers restricted to `kinds`.
    QList<PLYBlock*> targetBlocks() const;
    QStringList targetIds(std::initializer_list<PLYBlock::TypeCase> kinds, bool selectionOnly = false) const;
    PLYUndoManager* undoManager();
    // Runs `change` and records it as one step named `actionName` when it changed the layout.
    bool recordStep(const char* actionName, const std::function<bool()>& change);
    // The handler of the text block being edited in the live layout view; nothing otherwise.
    PLYLayoutBlockInteractionHandler_Text* editingTextHandler() const;
    void updateEditButtons();

    std::shared_ptr<PLYLayoutManager> m_layoutManager;
    PLYObserverBag m_observers;        // pictures of the shown image
    PLYObserverBag m_layoutObservers;  // changes of the followed layout
    // Layout changes come in bursts (one per block of a batch): the page is refilled once after.
    QTimer m_refreshTimer;
    // The identifier of the image shown, whose pictures may arrive later.
    QString m_shownImageId;
    bool m_filling = false;

    QStackedWidget* m_tabView;
    QWidget* m_emptyTabViewItem;
    QWidget* m_imageTabViewItem;
    QWidget* m_blankTabViewItem;
    QWidget* m_textTabViewItem;
    QWidget* m_downloadButtonTabViewItem;

    QLabel* m_otherInfoLabel;

    PLYImageStackView* m_imageStack;
    QLabel* m_imageNameTextField;
    PLYPopUpButton* m_aspectRatioPopUpButton;
    QPushButton* m_revertAspectRatioButton;
    QPushButton* m_imageEditButton;
    PLYKeywordTokenField* m_imageKeywordTokenField;

    PLYPopUpButton* m_blankAspectRatioPopUpButton;
    QPushButton* m_blankRevertAspectRatioButton;
    QPushButton* m_blankEditButton;

    PLYPopUpButton* m_textStylePopUpButton;
    PLYSegmentedControl* m_textAlignmentSegmentControl;
    PLYColourWell* m_textColourWell;
    QToolButton* m_textBoldButton;
    QToolButton* m_textItalicButton;
    QToolButton* m_textLinkButton;
    PLYSegmentedControl* m_textWidthSegmentControl;
    QPushButton* m_textEditButton;

    QLineEdit* m_downloadTitleTextField;
    QCheckBox* m_downloadPelloryStyleButton;
    PLYSegmentedControl* m_downloadAlignmentSegmentControl;
    PLYSegmentedControl* m_downloadSizeSegmentControl;
};
