// Words entering a text block on the real layout tab, offscreen, by every road a user has:
// typing, the paste key, the text's own context menu and drops. Each keeps to the most a block
// holds and says so; a commit the layout refuses is said too and never leaves words on the
// screen that the layout does not hold. And the words typed never reach the log.
#include "PLYLayoutTabFixture.h"

#include "PLYAlertPresenter.h"
#include "PLYPropertyViewController.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYTextLimits.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTextDocument>

namespace {

const QString kTooLong = QStringLiteral("The Text Is Too Long");

// Equal words, or where the two part and how long each is (they may be long).
::testing::AssertionResult same(const QString& shown, const QString& expected) {
    if (shown == expected) return ::testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < shown.size() && at < expected.size() && shown.at(at) == expected.at(at)) ++at;
    return ::testing::AssertionFailure() << shown.size() << " units against " << expected.size() << ", parting at " << at
                                         << ": \"" << shown.mid(at, 20).toStdString() << "\" against \""
                                         << expected.mid(at, 20).toStdString() << "\"";
}

class TextBlockEntry : public LayoutTab {
protected:
    void SetUp() override {
        LayoutTab::SetUp();
        alerts = std::make_shared<PLYScriptedAlertPresenter>();
        PLYAlertPresenter::setShared(alerts);
    }
    void TearDown() override {
        PLYRichTextEditor::setLinkAddressPrompt({});
        PLYAlertPresenter::setShared(nullptr);
        LayoutTab::TearDown();
    }

    // Edit mode on the text block, the cursor after its last word.
    PLYRichTextEditor* editAtEnd() {
        doubleClick(centre("t"));
        auto* handler = dynamic_cast<PLYLayoutBlockInteractionHandler_Text*>(blockView("t")->interactionHandler());
        PLYRichTextEditor* editor = handler ? handler->editTextView() : nullptr;
        if (!editor) return nullptr;
        QTextCursor end(editor->document());
        end.movePosition(QTextCursor::End);
        editor->setTextCursor(end);
        return editor;
    }
    QString held() { return QString::fromStdString(manager->blockForRef("t")->text().value()); }
    // A point of the editor's first line, in the canvas.
    static QPointF inside(PLYRichTextEditor* editor) { return editor->mapToScene(QPointF(4, 4)); }
    void chord(int qtKey, Qt::KeyboardModifiers mods) {
        QKeyEvent down(QEvent::KeyPress, qtKey, mods);
        QKeyEvent up(QEvent::KeyRelease, qtKey, mods);
        QApplication::sendEvent(view, &down);
        QApplication::sendEvent(view, &up);
    }
    bool dropText(const QString& text, const QPointF& p) {
        QMimeData data;
        data.setText(text);
        const QPoint l = local(p).toPoint();
        QDragEnterEvent enter(l, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &enter);
        QDragMoveEvent move(l, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &move);
        QDropEvent drop(l, Qt::CopyAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view->viewport(), &drop);
        return drop.isAccepted() && drop.dropAction() != Qt::IgnoreAction;
    }
    // The right click's menu over `p`, as the text shows it.
    QMenu* contextMenuAt(const QPointF& p) {
        const QPoint l = local(p).toPoint();
        QContextMenuEvent event(QContextMenuEvent::Mouse, l, view->viewport()->mapToGlobal(l));
        QApplication::sendEvent(view->viewport(), &event);
        return qobject_cast<QMenu*>(QApplication::activePopupWidget());
    }
    static QAction* actionNamed(QMenu* menu, const QString& name) {
        for (QAction* action : menu->actions())
            if (action->text().remove(QLatin1Char('&')).section(QLatin1Char('\t'), 0, 0) == name) return action;
        return nullptr;
    }
    // Waits for the `count`th alert; answers whether they all said the words are too long.
    bool saidTooLong(int count) {
        if (!PLYTestEnvironment::waitUntil([&] { return alerts->presented().size() >= count; })) return false;
        for (const PLYAlertRequest& alert : alerts->presented())
            if (alert.messageText != kTooLong) return false;
        return alerts->presented().size() == count;
    }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts;
};

TEST_F(TextBlockEntry, EveryRoadIntoATextBlockKeepsToTheLimitAndSaysSo) {
    const qsizetype limit = PLYTextLimits::TextBlockMaximumLength;
    // Five units short of the limit, in words and lines as a long story has them.
    QString story;
    while (story.size() < limit - 5) story += QStringLiteral("word ");
    story.truncate(limit - 5);
    PLYBlock_Text text = manager->blockForRef("t")->text();
    text.set_value(story.toStdString());
    ASSERT_TRUE(manager->setTextContent("t", text));
    PLYRichTextEditor* editor = editAtEnd();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(same(editor->toPlainText(), story));
    const int steps = undo()->undoCount();

    // A drop of ten units more than fit: not taken, nothing shown, nothing written.
    EXPECT_FALSE(dropText(QString(15, QLatin1Char('d')), inside(editor)));
    EXPECT_TRUE(same(editor->toPlainText(), story));
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_TRUE(same(held(), story));
    EXPECT_TRUE(saidTooLong(1));

    // The text's own context menu: its Paste takes the clipboard through the same rule.
    QApplication::clipboard()->setText(QString(6, QLatin1Char('p')));
    QMenu* menu = contextMenuAt(inside(editor));
    ASSERT_NE(menu, nullptr);
    QAction* paste = actionNamed(menu, QStringLiteral("Paste"));
    ASSERT_NE(paste, nullptr);
    ASSERT_TRUE(paste->isEnabled());
    paste->trigger();
    menu->close();
    EXPECT_TRUE(same(editor->toPlainText(), story));
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_TRUE(same(held(), story));
    EXPECT_TRUE(saidTooLong(2));

    // The paste key, the same.
    chord(Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(same(editor->toPlainText(), story));
    EXPECT_TRUE(saidTooLong(3));

    // Typing fills the block to the limit and not a letter further; the words that fit stay.
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    editor->setTextCursor(end);
    type(QStringLiteral("abcdefg"));
    EXPECT_TRUE(same(editor->toPlainText(), story + QStringLiteral("abcde")));
    EXPECT_TRUE(saidTooLong(4)) << "one word for the whole refused run of keys at most";
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_TRUE(same(held(), story + QStringLiteral("abcde")));
    EXPECT_EQ(undo()->undoCount(), steps + 1) << "the typing that fit is one step";

    // A drop that fits is taken.
    chord(Qt::Key_Backspace, Qt::NoModifier);
    chord(Qt::Key_Backspace, Qt::NoModifier);
    EXPECT_TRUE(dropText(QStringLiteral("xy"), inside(editor)));
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_EQ(held().size(), limit);
    EXPECT_TRUE(same(editor->toPlainText(), held()));
}

TEST_F(TextBlockEntry, ACommitTheLayoutRefusesIsSaidAndTheEditorShowsWhatTheLayoutHolds) {
    PLYRichTextEditor* editor = editAtEnd();
    ASSERT_NE(editor, nullptr);
    const QString before = held();

    // Words put in by a road that checks nothing (a script, an input method): far too many.
    QTextCursor end(editor->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString(PLYTextLimits::TextBlockMaximumLength, QLatin1Char('z')));
    PLYRichTextEditor::commitLiveEditors();

    EXPECT_TRUE(saidTooLong(1));
    EXPECT_EQ(editor->toPlainText(), held()) << "the editor shows what the layout holds";
    EXPECT_LE(held().size(), PLYTextLimits::TextBlockMaximumLength);
    EXPECT_TRUE(same(held(), before));

    // Typing goes on and is kept.
    end.movePosition(QTextCursor::End);
    editor->setTextCursor(end);
    type(QStringLiteral(" on"));
    PLYRichTextEditor::commitLiveEditors();
    EXPECT_TRUE(held().endsWith(QStringLiteral(" on")));
    EXPECT_TRUE(same(editor->toPlainText(), held()));
}

TEST_F(TextBlockEntry, TheWordsTypedInATextBlockNeverReachTheLog) {
    // The Properties tab follows edit mode and hears every change the editor is about to make.
    auto* pane = new PLYPropertyViewController(tab.get());
    pane->setLayoutManager(manager);
    QStringList lines;
    const int token = PLYLog::addObserver([&](PLYLog::Level, const QString& line) { lines << line; });
    const QString word = QStringLiteral("Quizzaciously");

    PLYRichTextEditor* editor = editAtEnd();
    ASSERT_NE(editor, nullptr);
    type(QStringLiteral(" ") + word);
    editor->setSelection(0, 5);
    chord(Qt::Key_B, Qt::ControlModifier);
    // A link address made of the word is refused, and logged without it.
    PLYRichTextEditor::setLinkAddressPrompt([&](const QString&) { return QStringLiteral("javascript:") + word; });
    editor->setSelection(0, 5);
    editor->userSelectedLink();
    key(Qt::Key_Escape);
    QApplication::processEvents();
    PLYLog::removeObserver(token);

    ASSERT_TRUE(held().contains(word));
    EXPECT_TRUE(lines.filter(QStringLiteral("User just edited the RTE by performing this operation: Typing")).size() > 0)
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.filter(QStringLiteral("link address")).size() > 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter(word, Qt::CaseInsensitive).join('\n').toStdString(), "");
    EXPECT_EQ(lines.filter(QStringLiteral("Words of"), Qt::CaseInsensitive).join('\n').toStdString(), "");
}

}  // namespace
