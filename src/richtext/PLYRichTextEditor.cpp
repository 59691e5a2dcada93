#include "PLYRichTextEditor.h"

#include "PLYAlertPresenter.h"
#include "PLYDefaults.h"
#include "PLYDispatch.h"
#include "PLYLog.h"
#include "PLYRichTextDocument.h"
#include "PLYSafeText.h"
#include "PLYTextLimits.h"

#include <QApplication>
#include <QCoreApplication>
#include <QClipboard>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsSceneDragDropEvent>
#include <QGraphicsSceneMouseEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QUrl>

namespace {
PLYRichTextEditor::LinkAddressPrompt& linkPrompt() {
    static PLYRichTextEditor::LinkAddressPrompt prompt;
    return prompt;
}

// Every editor alive, for commits before a save (main thread only).
QList<PLYRichTextEditor*>& liveEditors() {
    static QList<PLYRichTextEditor*> editors;
    return editors;
}

bool isUndoOrRedo(const QKeyEvent* event) {
    return event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo);
}

QString translated(const char* text) { return QCoreApplication::translate("PLYRichTextEditor", text); }

// One warning at a time: a key held down at the limit would stack one per repeat.
bool& warningPending() {
    static bool pending = false;
    return pending;
}

void warn(const QString& title, const QString& message) {
    if (warningPending())
        return;
    warningPending() = true;
    PLYDispatch::mainAsync([title, message] {
        PLYAlertPresenter::shared()->runModal({PLYAlertRequest::Style::Warning, title, message, {translated("Ok")}});
        warningPending() = false;
    });
}

// Words of `length` units are more than a text block holds.
void warnTooLong(qsizetype length) {
    PLY_LOG_WARN(QStringLiteral("Refused words of %1 characters for a text block (at most %2)")
                     .arg(length)
                     .arg(PLYTextLimits::TextBlockMaximumLength));
    warn(translated("The Text Is Too Long"),
         translated("A text block holds at most %1 characters; with this it would hold %2. The words were left as "
                    "they were.")
             .arg(PLYTextLimits::TextBlockMaximumLength)
             .arg(length));
}

// The writer did not take `text`.
void warnRefused(const PLYBlock_Text& text) {
    const qsizetype length = QString::fromStdString(text.value()).size();
    if (!PLYTextLimits::textBlockHolds(length)) {
        warnTooLong(length);
        return;
    }
    PLY_LOG_WARN(QStringLiteral("The words of a text block (%1 characters) could not be written; the block is gone "
                                "or refused them")
                     .arg(length));
    warn(translated("The Text Could Not Be Kept"),
         translated("The layout did not take the latest words of this text block. The block shows the words it holds."));
}
}  // namespace

PLYRichTextEditor::PLYRichTextEditor(QGraphicsItem* parent) : QGraphicsTextItem(parent) {
    setTextInteractionFlags(Qt::NoTextInteraction);
    // One undo history: the window's. A second stack in the document would undo words the
    // window's history has already put back, or the reverse.
    document()->setUndoRedoEnabled(false);
    // Drops and the text's own context menu insert through the item's text control, which would
    // take markup as it comes, links of any kind included: they bring the words only, as a
    // foreign paste does. (Our own format is pasted by paste(), which checks every link.)
    for (QObject* child : children())
        if (child->inherits("QWidgetTextControl"))
            child->setProperty("acceptRichText", false);
    connect(document(), &QTextDocument::contentsChanged, this, &PLYRichTextEditor::documentChanged);
    m_commitTimer.setSingleShot(true);
    m_commitTimer.setInterval(kCommitPauseMs);
    connect(&m_commitTimer, &QTimer::timeout, this, [this] { commit(); });
    liveEditors().append(this);
}

PLYRichTextEditor::~PLYRichTextEditor() {
    liveEditors().removeAll(this);
    if (!m_dirty || !m_writer)
        return;
    // Going away with words not yet written (its view is being rebuilt or closed). Writing now
    // would relayout views in the middle of their teardown: the words go in once it is over.
    const PLYBlock_Text text = pendingText();
    const QString action = m_pendingAction.isEmpty() ? QStringLiteral("Typing") : m_pendingAction;
    QTimer::singleShot(0, QCoreApplication::instance(), [writer = m_writer, text, action] {
        if (!writer(text, action))
            warnRefused(text);
    });
}

void PLYRichTextEditor::commitLiveEditors() {
    const QList<PLYRichTextEditor*> editors = liveEditors();
    for (PLYRichTextEditor* editor : editors)
        if (liveEditors().contains(editor))
            editor->commit();
}

PLYBlock_Text PLYRichTextEditor::pendingText() const {
    PLYBlock_Text text;
    if (PLYBlock* block = m_resolver ? m_resolver() : nullptr; block && block->type_case() == PLYBlock::kText)
        text = block->text();
    PLYRichTextDocument::writeBack(*document(), &text);
    return text;
}

bool PLYRichTextEditor::commit() {
    m_commitTimer.stop();
    if (!m_dirty) {
        m_pendingAction.clear();
        return true;
    }
    m_dirty = false;
    const QString action = m_pendingAction.isEmpty() ? QStringLiteral("Typing") : m_pendingAction;
    m_pendingAction.clear();
    if (!m_writer)
        return false;
    const PLYBlock_Text text = pendingText();
    // Known before the write: the relayout the write causes finds the block as this editor
    // shows it and keeps the cursor.
    const std::optional<std::string> previous = m_lastText;
    m_lastText = text.SerializeAsString();
    if (!m_writer(text, action)) {
        m_lastText = previous;
        writeRefused(text);
        return false;
    }
    return true;
}

void PLYRichTextEditor::writeRefused(const PLYBlock_Text& text) {
    warnRefused(text);
    // Never words on the screen that the block does not hold.
    PLYBlock* block = m_resolver ? m_resolver() : nullptr;
    if (!block || block->type_case() != PLYBlock::kText)
        return;
    const int position = textCursor().position();
    load(block->text(), m_textWidth);
    setSelection(position, 0);
}

qsizetype PLYRichTextEditor::selectedLength() const {
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

bool PLYRichTextEditor::admits(qsizetype inserted, qsizetype replaced) {
    const qsizetype result = document()->characterCount() - 1 - replaced + inserted;
    if (PLYTextLimits::textBlockHolds(result))
        return true;
    warnTooLong(result);
    return false;
}

QString PLYRichTextEditor::placeholderText() { return PLYDefaults::defaultTextBlockEmptyText(); }

void PLYRichTextEditor::bindToBlock(BlockResolver resolver, TextWriter writer, double textWidth) {
    m_resolver = std::move(resolver);
    m_writer = std::move(writer);
    m_lastText.reset();
    m_textWidth = -1.0;
    syncWithBlock(textWidth);
}

void PLYRichTextEditor::syncWithBlock(double textWidth) {
    PLYBlock* block = m_resolver ? m_resolver() : nullptr;
    if (!block || block->type_case() != PLYBlock::kText)
        return;
    const std::string current = block->text().SerializeAsString();
    if (current == m_lastText && textWidth == m_textWidth)
        return;
    if (current == m_lastText) {
        // Only the width moved: keep the cursor and the words not yet committed.
        m_textWidth = textWidth;
        setTextWidth(textWidth);
        return;
    }
    load(block->text(), textWidth);
}

void PLYRichTextEditor::load(const PLYBlock_Text& text, double textWidth) {
    m_loading = true;
    prepareGeometryChange();
    PLYRichTextDocument::populate(document(), text, textWidth);
    setDefaultTextColor(PLYRichTextDocument::colourForText(text));
    m_lastText = text.SerializeAsString();
    m_textWidth = textWidth;
    // What was typed over an earlier text of the block is given up for the block's own.
    m_dirty = false;
    m_pendingAction.clear();
    m_commitTimer.stop();
    m_loading = false;
    update();
}

void PLYRichTextEditor::documentChanged() {
    if (m_loading || !m_resolver)
        return;
    m_dirty = true;
    update();
    // A road that did not ask first (the text's own context menu, an input method) put in more
    // than a block holds: the layout refuses it now, and the block's words are shown again.
    if (!PLYTextLimits::textBlockHolds(document()->characterCount() - 1)) {
        commit();
        return;
    }
    m_commitTimer.start();
}

void PLYRichTextEditor::setEditable(bool editable) {
    if (!editable)
        commit();
    m_editable = editable;
    setTextInteractionFlags(editable ? Qt::TextEditorInteraction : Qt::NoTextInteraction);
    setFlag(QGraphicsItem::ItemIsFocusable, editable);
    setCursor(editable ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void PLYRichTextEditor::setRteDelegate(PLYRichTextEditorDelegate* delegate) {
    m_delegate = delegate;
    m_reportedSelection.reset();
    if (delegate)
        reportSelection(true);
}

bool PLYRichTextEditor::isShowingPlaceholder() const { return document()->isEmpty(); }

void PLYRichTextEditor::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) {
    if (isShowingPlaceholder()) {
        painter->save();
        painter->setFont(document()->defaultFont());
        painter->setPen(QColor(0x9a, 0x9a, 0x9a));
        const QTextOption textOption = document()->defaultTextOption();
        painter->drawText(QRectF(0, 0, qMax(1.0, textWidth()), boundingRect().height()), placeholderText(),
                          textOption);
        painter->restore();
    }
    QGraphicsTextItem::paint(painter, option, widget);
}

void PLYRichTextEditor::setSelection(int location, int length) {
    QTextCursor cursor(document());
    const int end = document()->characterCount() - 1;
    cursor.setPosition(qBound(0, location, end));
    cursor.setPosition(qBound(0, location + length, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    reportSelection();
}

PLYRichTextSelection PLYRichTextEditor::selection() const {
    const QTextCursor cursor = textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd() - cursor.selectionStart()};
}

bool PLYRichTextEditor::selectionAll(const std::function<bool(const QTextCharFormat&)>& test) const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return test(cursor.charFormat());
    QTextCursor probe(document());
    for (int pos = cursor.selectionStart(); pos < cursor.selectionEnd(); ++pos) {
        probe.setPosition(pos + 1);
        // Paragraph separators carry no character format of their own.
        if (document()->characterAt(pos) == QChar::ParagraphSeparator)
            continue;
        if (!test(probe.charFormat()))
            return false;
    }
    return true;
}

void PLYRichTextEditor::toggle(PLYRichTextChangeType type, const std::function<bool(const QTextCharFormat&)>& test,
                               const QTextCharFormat& on, const QTextCharFormat& off) {
    if (!m_resolver)
        return;
    const bool all = selectionAll(test);
    announce(type);
    QTextCursor cursor = textCursor();
    // Without a selection this sets the format of what is typed next.
    cursor.mergeCharFormat(all ? off : on);
    setTextCursor(cursor);
    commit();
    reportSelection(true);
}

void PLYRichTextEditor::userSelectedBold() {
    const int baseWeight = document()->defaultFont().weight();
    QTextCharFormat on, off;
    on.setFontWeight(QFont::Bold);
    off.setFontWeight(baseWeight >= QFont::Bold ? QFont::Normal : baseWeight);
    toggle(PLYRichTextChangeType::Bold, [](const QTextCharFormat& f) { return f.fontWeight() >= QFont::Bold; }, on,
           off);
}

void PLYRichTextEditor::userSelectedItalic() {
    QTextCharFormat on, off;
    on.setFontItalic(true);
    off.setFontItalic(false);
    toggle(PLYRichTextChangeType::Italic, [](const QTextCharFormat& f) { return f.fontItalic(); }, on, off);
}

QString PLYRichTextEditor::normalisedLinkAddress(const QString& input) {
    const QString trimmed = input.trimmed();
    if (trimmed.isEmpty() || trimmed.contains(QLatin1Char(' ')))
        return {};
    QUrl url(trimmed, QUrl::StrictMode);
    if (url.scheme().isEmpty())
        url = QUrl(QStringLiteral("https://") + trimmed, QUrl::StrictMode);
    return PLYSafeText::isAllowedLinkURL(url) ? url.toString() : QString();
}

void PLYRichTextEditor::setLinkAddressPrompt(LinkAddressPrompt prompt) { linkPrompt() = std::move(prompt); }

void PLYRichTextEditor::userSelectedLink() {
    if (!m_resolver)
        return;
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection()) {
        PLY_LOG_INFO(QStringLiteral("A link needs selected text"));
        return;
    }
    const auto linked = [](const QTextCharFormat& f) { return f.isAnchor() && !f.anchorHref().isEmpty(); };
    if (selectionAll(linked)) {
        announce(PLYRichTextChangeType::RemoveLink);
        QTextCharFormat off;
        off.setAnchor(false);
        off.setAnchorHref(QString());
        PLYBlock* block = m_resolver();
        off.setForeground(block ? PLYRichTextDocument::colourForText(block->text()) : QColor(Qt::black));
        cursor.mergeCharFormat(off);
        commit();
        reportSelection(true);
        return;
    }
    if (!linkPrompt()) {
        PLY_LOG_WARN(QStringLiteral("No way to ask for a link address"));
        return;
    }
    QTextCursor probe(document());
    probe.setPosition(cursor.selectionStart() + 1);
    const std::optional<QString> answer = linkPrompt()(probe.charFormat().anchorHref());
    if (!answer)
        return;
    const QString address = normalisedLinkAddress(*answer);
    if (address.isEmpty()) {
        PLY_LOG_WARN(QStringLiteral("Ignored a link address of %1 characters: not a web or mail address").arg(answer->size()));
        return;
    }
    announce(PLYRichTextChangeType::AddLink);
    QTextCharFormat on;
    on.setAnchor(true);
    on.setAnchorHref(address);
    on.setForeground(PLYRichTextDocument::linkColour());
    cursor.mergeCharFormat(on);
    commit();
    reportSelection(true);
}

QMimeData* PLYRichTextEditor::mimeDataForSelection() const {
    const QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return nullptr;
    QTextDocument copy;
    copy.setDefaultFont(document()->defaultFont());
    QTextCursor into(&copy);
    into.insertFragment(cursor.selection());
    PLYBlock_Text text;
    PLYRichTextDocument::writeBack(copy, &text);
    auto* data = new QMimeData;
    data->setText(QString::fromStdString(text.value()));
    data->setData(QString::fromLatin1(kPasteboardType), QByteArray::fromStdString(text.SerializeAsString()));
    return data;
}

void PLYRichTextEditor::copy() {
    if (QMimeData* data = mimeDataForSelection())
        QApplication::clipboard()->setMimeData(data);
}

void PLYRichTextEditor::cut() {
    if (!m_editable || !textCursor().hasSelection())
        return;
    copy();
    announce(PLYRichTextChangeType::Cut);
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
    commit();
    reportSelection();
}

void PLYRichTextEditor::insertFromMimeData(const QMimeData* data) {
    if (!data || !m_editable)
        return;
    const QString format = QString::fromLatin1(kPasteboardType);
    PLYBlock_Text text;
    if (data->hasFormat(format)) {
        const QByteArray bytes = data->data(format);
        if (!text.ParseFromArray(bytes.constData(), int(bytes.size())))
            text.set_value(data->text().toStdString());
    } else if (data->hasText()) {
        // Foreign rich text would bring fonts and sizes a block cannot keep: take the words.
        text.set_value(data->text().toStdString());
    } else {
        return;
    }
    // Our own format may come from anywhere that writes it: its links pass the same rule as
    // links given by hand, and the words of a refused one stay without it.
    if (PLYRichTextDocument::dropLinksNotAllowed(&text) > 0)
        PLY_LOG_WARN(QStringLiteral("Pasted text lost links that are not web or mail addresses"));
    // A longer result would show here and then be refused at commit.
    if (!admits(QString::fromStdString(text.value()).size(), selectedLength()))
        return;
    announce(PLYRichTextChangeType::Paste);
    QTextCursor cursor = textCursor();
    QTextCharFormat plain = cursor.charFormat();
    plain.setFontWeight(document()->defaultFont().weight());
    plain.setFontItalic(document()->defaultFont().italic());
    plain.setFontUnderline(false);
    plain.setAnchor(false);
    plain.setAnchorHref(QString());
    if (PLYBlock* block = m_resolver ? m_resolver() : nullptr)
        plain.setForeground(PLYRichTextDocument::colourForText(block->text()));
    cursor.beginEditBlock();
    cursor.setCharFormat(plain);
    PLYRichTextDocument::insertText(cursor, text);
    cursor.endEditBlock();
    setTextCursor(cursor);
    commit();
    reportSelection();
}

void PLYRichTextEditor::paste() { insertFromMimeData(QApplication::clipboard()->mimeData()); }

QString PLYRichTextEditor::convertPreviewChangeTypeToString(PLYRichTextChangeType type,
                                                            bool withNonSpecialChangeText) {
    switch (type) {
    case PLYRichTextChangeType::Typing:
        return withNonSpecialChangeText ? QStringLiteral("Typing") : QString();
    case PLYRichTextChangeType::Deletion:
        return withNonSpecialChangeText ? QStringLiteral("Delete") : QString();
    case PLYRichTextChangeType::Cut:
        return QStringLiteral("Cut");
    case PLYRichTextChangeType::Paste:
        return QStringLiteral("Paste");
    case PLYRichTextChangeType::Bold:
        return QStringLiteral("Bold");
    case PLYRichTextChangeType::Italic:
        return QStringLiteral("Italic");
    case PLYRichTextChangeType::Underline:
        return QStringLiteral("Underline");
    case PLYRichTextChangeType::AddLink:
        return QStringLiteral("Add Link");
    case PLYRichTextChangeType::RemoveLink:
        return QStringLiteral("Remove Link");
    }
    return QString();
}

void PLYRichTextEditor::announce(PLYRichTextChangeType type) {
    // A change of another kind than the words pending closes their step first: "Bold" and
    // "Typing" are two steps of the undo history.
    const QString name = convertPreviewChangeTypeToString(type, true);
    if (m_dirty && name != m_pendingAction && !m_pendingAction.isEmpty())
        commit();
    if (!m_dirty)
        m_pendingAction = name;
    if (m_delegate)
        m_delegate->richTextEditorChangeAboutToOccurOfType(this, type);
}

void PLYRichTextEditor::reportSelection(bool force) {
    if (!m_delegate)
        return;
    const PLYRichTextSelection current = selection();
    if (!force && m_reportedSelection && *m_reportedSelection == current)
        return;
    m_reportedSelection = current;
    const bool bold = selectionAll([](const QTextCharFormat& f) { return f.fontWeight() >= QFont::Bold; });
    const bool italic = selectionAll([](const QTextCharFormat& f) { return f.fontItalic(); });
    const bool underline = selectionAll([](const QTextCharFormat& f) { return f.fontUnderline(); });
    const bool linked = selectionAll([](const QTextCharFormat& f) { return f.isAnchor() && !f.anchorHref().isEmpty(); });
    const QTextCharFormat format = textCursor().charFormat();
    const QColor background =
        format.background().style() == Qt::NoBrush ? QColor(Qt::transparent) : format.background().color();
    m_delegate->selectionForEditor(this, current, bold, italic, underline, linked, background,
                                   format.foreground().color());
}

void PLYRichTextEditor::keyPressEvent(QKeyEvent* event) {
    if (!m_editable) {
        event->ignore();
        return;
    }
    if (isUndoOrRedo(event)) {
        // The window's undo history takes the key, after the words typed so far became a step of it.
        commit();
        event->ignore();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
    } else if (event->matches(QKeySequence::Cut)) {
        cut();
    } else if (event->matches(QKeySequence::Paste)) {
        paste();
    } else if (event->matches(QKeySequence::Bold)) {
        userSelectedBold();
    } else if (event->matches(QKeySequence::Italic)) {
        userSelectedItalic();
    } else {
        const bool deletes = event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete;
        const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint();
        // A line break or a tab is one unit more.
        const bool spacing = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Tab;
        if ((printable || spacing) && !admits(printable ? event->text().size() : 1, selectedLength())) {
            event->accept();
            return;
        }
        if (deletes)
            announce(PLYRichTextChangeType::Deletion);
        else if (printable)
            announce(PLYRichTextChangeType::Typing);
        QGraphicsTextItem::keyPressEvent(event);
    }
    event->accept();
    reportSelection();
}

void PLYRichTextEditor::keyReleaseEvent(QKeyEvent* event) {
    QGraphicsTextItem::keyReleaseEvent(event);
    reportSelection();
}

void PLYRichTextEditor::mouseReleaseEvent(QGraphicsSceneMouseEvent* event) {
    QGraphicsTextItem::mouseReleaseEvent(event);
    reportSelection();
}

void PLYRichTextEditor::focusInEvent(QFocusEvent* event) {
    QGraphicsTextItem::focusInEvent(event);
    reportSelection(true);
}

void PLYRichTextEditor::focusOutEvent(QFocusEvent* event) {
    QGraphicsTextItem::focusOutEvent(event);
    commit();
}

bool PLYRichTextEditor::sceneEvent(QEvent* event) {
    // A text item claims Undo and Redo before shortcuts are looked up; leave them to the window.
    if (event->type() == QEvent::ShortcutOverride && isUndoOrRedo(static_cast<QKeyEvent*>(event))) {
        commit();
        event->ignore();
        return false;
    }
    return QGraphicsTextItem::sceneEvent(event);
}

void PLYRichTextEditor::contextMenuEvent(QGraphicsSceneContextMenuEvent* event) {
    // Its Paste goes in unasked, and a paste over the limit is taken back by showing the block's
    // words again: written first, the words typed so far are among them.
    commit();
    QGraphicsTextItem::contextMenuEvent(event);
}

void PLYRichTextEditor::dropEvent(QGraphicsSceneDragDropEvent* event) {
    const QMimeData* data = event->mimeData();
    // Only the words of a drop arrive (see the constructor), where it lands; words moved inside
    // the block add none.
    const bool within = event->dropAction() == Qt::MoveAction && event->source() == event->widget();
    if (m_editable && data && data->hasText() && !within && !admits(data->text().size(), 0)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    QGraphicsTextItem::dropEvent(event);
}

void PLYRichTextEditor::inputMethodEvent(QInputMethodEvent* event) {
    if (!event->commitString().isEmpty() && !admits(event->commitString().size(), selectedLength()))
        event->setCommitString(QString());
    QGraphicsTextItem::inputMethodEvent(event);
}
