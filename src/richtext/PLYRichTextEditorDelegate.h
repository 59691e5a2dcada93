#pragma once

#include <QColor>

class PLYRichTextEditor;

// Kinds of text change an editor announces before it makes them.
enum class PLYRichTextChangeType {
    Typing,
    Deletion,
    Cut,
    Paste,
    Bold,
    Italic,
    Underline,
    AddLink,
    RemoveLink,
};

// The selection range of an editor: start and length in UTF-16 units of the plain text.
struct PLYRichTextSelection {
    int location = 0;
    int length = 0;
    bool operator==(const PLYRichTextSelection&) const = default;
};

// Told of the editor's selection and of changes about to be made (the block property
// inspector uses it to show bold, italic and link states). Every operation is optional.
class PLYRichTextEditorDelegate {
public:
    virtual ~PLYRichTextEditorDelegate() = default;
    virtual void selectionForEditor(PLYRichTextEditor* editor, const PLYRichTextSelection& changedTo, bool isBold,
                                    bool isItalic, bool isUnderline, bool isLinked, const QColor& textBackgroundColor,
                                    const QColor& textColor) {
        (void)editor, (void)changedTo, (void)isBold, (void)isItalic, (void)isUnderline, (void)isLinked;
        (void)textBackgroundColor, (void)textColor;
    }
    virtual void richTextEditorChangeAboutToOccurOfType(PLYRichTextEditor* editor, PLYRichTextChangeType type) {
        (void)editor, (void)type;
    }
};
