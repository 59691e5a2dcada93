#pragma once

#include "PLYLayout.pb.h"
#include "PLYRichTextEditorDelegate.h"

#include <QGraphicsTextItem>
#include <QPointer>
#include <QTextCharFormat>
#include <QTimer>
#include <functional>
#include <optional>

class QMimeData;

// Shows and edits one text block on the canvas. It is a graphics item, so it scales with the
// canvas zoom. The block is resolved on every use (blocks do not outlive edits).
//
// Typing changes only the editor's document. The words go to the block through the writer at
// commit points: a pause in typing, the end of editing (focus leaves, the editor stops being
// editable or goes away), each formatting command, cut and paste, an Undo or Redo key, and
// commitLiveEditors() (the application calls it before every save). Each commit is one edit of
// the layout, announced once, and one step of the window's undo history; the editor keeps no
// undo stack of its own and leaves the Undo and Redo keys to the window.
//
// No road lets in more words than a block holds (typing, the paste key, the text's own context
// menu, drops, input methods): each refuses at once and says so. A write the block refuses is
// said too, and the editor then shows the block's words.
class PLYRichTextEditor : public QGraphicsTextItem {
    Q_OBJECT
public:
    // The editor's private clipboard format: the serialised text message of the copied range.
    static constexpr const char* kPasteboardType = "macOSRichTextEditor57";

    // Typing pauses this long before its words are committed.
    static constexpr int kCommitPauseMs = 750;

    using BlockResolver = std::function<PLYBlock*()>;
    // Writes the block's words and runs from `text`, as one edit named `actionName` ("Typing",
    // "Bold", ...); answers whether it was written.
    using TextWriter = std::function<bool(const PLYBlock_Text& text, const QString& actionName)>;
    // Asks for a link address, given the current one (empty for none); nothing on cancel.
    using LinkAddressPrompt = std::function<std::optional<QString>(const QString& current)>;

    explicit PLYRichTextEditor(QGraphicsItem* parent = nullptr);
    ~PLYRichTextEditor() override;

    // Binds the editor to a text block and loads it at `textWidth`.
    void bindToBlock(BlockResolver resolver, TextWriter writer, double textWidth);
    // Reloads from the block when it was changed by someone else (or the width changed);
    // words not yet committed stay while the block's text is the one they were typed over.
    void syncWithBlock(double textWidth);

    // Writes uncommitted words through the writer. Answers false when they could not be written.
    bool commit();
    bool hasUncommittedChanges() const { return m_dirty; }
    // Commits every editor of the process (save, quit).
    static void commitLiveEditors();

    void setEditable(bool editable);
    bool isEditable() const { return m_editable; }

    PLYRichTextEditorDelegate* rteDelegate() const { return m_delegate; }
    void setRteDelegate(PLYRichTextEditorDelegate* delegate);

    // Toggles on the current selection (with no selection bold and italic apply to what is
    // typed next; a link needs a selection).
    void userSelectedBold();
    void userSelectedItalic();
    void userSelectedLink();

    // Clipboard, in the private format plus plain text.
    void copy();
    void cut();
    void paste();
    QMimeData* mimeDataForSelection() const;
    void insertFromMimeData(const QMimeData* data);

    void setSelection(int location, int length);
    PLYRichTextSelection selection() const;
    bool isShowingPlaceholder() const;

    static QString placeholderText();
    static QString convertPreviewChangeTypeToString(PLYRichTextChangeType type, bool withNonSpecialChangeText);
    // Where link addresses come from: a dialog in the application, a script in tests.
    static void setLinkAddressPrompt(LinkAddressPrompt prompt);
    // A link address as stored: http(s) or mailto; a bare host gets "https://". Empty when
    // the input is not a usable address.
    static QString normalisedLinkAddress(const QString& input);

    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QGraphicsSceneMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool sceneEvent(QEvent* event) override;
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void dropEvent(QGraphicsSceneDragDropEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    void documentChanged();
    // Whether putting `inserted` units in place of `replaced` ones keeps the words within what a
    // block holds; says so to the user when not.
    bool admits(qsizetype inserted, qsizetype replaced);
    qsizetype selectedLength() const;
    // The writer did not take the words: says so and shows what the block holds again.
    void writeRefused(const PLYBlock_Text& text);
    PLYBlock_Text pendingText() const;
    void announce(PLYRichTextChangeType type);
    void reportSelection(bool force = false);
    void load(const PLYBlock_Text& text, double textWidth);
    // Answers whether every character of the selection (or the cursor's format) has `test`.
    bool selectionAll(const std::function<bool(const QTextCharFormat&)>& test) const;
    void toggle(PLYRichTextChangeType type, const std::function<bool(const QTextCharFormat&)>& test,
                const QTextCharFormat& on, const QTextCharFormat& off);

    BlockResolver m_resolver;
    TextWriter m_writer;
    bool m_dirty = false;
    // The name of the first change since the last commit: the undo action's name.
    QString m_pendingAction;
    QTimer m_commitTimer;
    // Serialised text message last loaded or written; nothing before the first load (an
    // empty body text serialises to an empty string too).
    std::optional<std::string> m_lastText;
    double m_textWidth = -1.0;
    bool m_loading = false;
    bool m_editable = false;
    PLYRichTextEditorDelegate* m_delegate = nullptr;
    std::optional<PLYRichTextSelection> m_reportedSelection;
};
