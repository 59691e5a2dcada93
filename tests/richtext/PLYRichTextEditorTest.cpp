#include "PLYRichTextDocument.h"
#include "PLYRichTextEditor.h"
#include "PLYTestLayouts.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMimeData>
#include <gtest/gtest.h>
#include <algorithm>
#include <set>

namespace {

struct RecordingDelegate : PLYRichTextEditorDelegate {
    struct Report {
        PLYRichTextSelection selection;
        bool bold, italic, underline, linked;
    };
    std::vector<Report> reports;
    std::vector<std::pair<PLYRichTextChangeType, std::string>> changes;  // type, block value before
    PLYBlock* block = nullptr;

    void selectionForEditor(PLYRichTextEditor*, const PLYRichTextSelection& changedTo, bool isBold, bool isItalic,
                            bool isUnderline, bool isLinked, const QColor&, const QColor&) override {
        reports.push_back({changedTo, isBold, isItalic, isUnderline, isLinked});
    }
    void richTextEditorChangeAboutToOccurOfType(PLYRichTextEditor*, PLYRichTextChangeType type) override {
        changes.emplace_back(type, block ? block->text().SerializeAsString() : std::string());
    }
};

std::set<int> propertiesAt(const PLYBlock_Text& text, int position) {
    std::set<int> out;
    for (const PLYTextRun& run : text.runs())
        if (position >= run.location() && position < run.location() + run.length())
            for (int p : run.properties())
                out.insert(p);
    return out;
}

class RichTextEditor : public ::testing::Test {
protected:
    void SetUp() override {
        block = PLYTestLayouts::text("t", "Hello brave new world");
        bind(editor, block);
        editor.setEditable(true);
        PLYRichTextEditor::setLinkAddressPrompt([this](const QString&) { return linkAnswer; });
    }
    void TearDown() override { PLYRichTextEditor::setLinkAddressPrompt({}); }
    void bind(PLYRichTextEditor& e, PLYBlock& b) {
        e.bindToBlock(
            [&b] { return &b; },
            [this, &b](const PLYBlock_Text& text, const QString& action) {
                b.mutable_text()->set_value(text.value());
                *b.mutable_text()->mutable_runs() = text.runs();
                ++changes;
                actions << action;
                return true;
            },
            800);
    }

    // Pastes `data` at the start of a new editor of `target`.
    void pasteIntoFreshEditor(PLYBlock& target, const QMimeData* data) {
        PLYRichTextEditor other;
        bind(other, target);
        other.setEditable(true);
        other.setSelection(0, 0);
        other.insertFromMimeData(data);
    }

    PLYBlock block;
    PLYRichTextEditor editor;
    int changes = 0;
    QStringList actions;
    std::optional<QString> linkAnswer;
};

TEST_F(RichTextEditor, BoldItalicAndLinkSurviveASaveAndLoadOfTheBlock) {
    editor.setSelection(6, 5);  // brave
    editor.userSelectedBold();
    editor.setSelection(12, 3);  // new
    editor.userSelectedItalic();
    linkAnswer = QStringLiteral("example.com/story");
    editor.setSelection(16, 5);  // world
    editor.userSelectedLink();

    EXPECT_GE(changes, 3);
    EXPECT_EQ(block.text().value(), "Hello brave new world");
    EXPECT_EQ(propertiesAt(block.text(), 7), std::set<int>{PLYTextProperty_Bold});
    EXPECT_EQ(propertiesAt(block.text(), 13), std::set<int>{PLYTextProperty_Italic});
    EXPECT_EQ(propertiesAt(block.text(), 18), std::set<int>{PLYTextProperty_Link});
    EXPECT_TRUE(propertiesAt(block.text(), 2).empty());
    for (const PLYTextRun& run : block.text().runs())
        if (run.properties(0) == PLYTextProperty_Link) {
            EXPECT_EQ(run.link(), "https://example.com/story");
            EXPECT_EQ(run.location(), 16);
            EXPECT_EQ(run.length(), 5);
        }

    // Saved and loaded again, a fresh editor shows the same styles.
    PLYBlock loaded;
    ASSERT_TRUE(loaded.ParseFromString(block.SerializeAsString()));
    PLYRichTextEditor second;
    bind(second, loaded);
    RecordingDelegate delegate;
    second.setRteDelegate(&delegate);
    second.setSelection(6, 5);
    ASSERT_FALSE(delegate.reports.empty());
    EXPECT_TRUE(delegate.reports.back().bold);
    EXPECT_FALSE(delegate.reports.back().italic);
    second.setSelection(12, 3);
    EXPECT_TRUE(delegate.reports.back().italic);
    EXPECT_FALSE(delegate.reports.back().bold);
    second.setSelection(16, 5);
    EXPECT_TRUE(delegate.reports.back().linked);
    second.setSelection(4, 4);  // straddles plain and bold
    EXPECT_FALSE(delegate.reports.back().bold);
    second.setRteDelegate(nullptr);
}

TEST_F(RichTextEditor, TogglingTwiceRemovesTheStyle) {
    editor.setSelection(0, 5);
    editor.userSelectedBold();
    ASSERT_EQ(block.text().runs_size(), 1);
    editor.userSelectedBold();
    EXPECT_EQ(block.text().runs_size(), 0);
    editor.userSelectedItalic();
    editor.userSelectedItalic();
    EXPECT_EQ(block.text().runs_size(), 0);
}

TEST_F(RichTextEditor, ALinkIsRemovedByTogglingAndBadAddressesAreRefused) {
    editor.setSelection(0, 5);
    linkAnswer = QStringLiteral("javascript:alert(1)");
    editor.userSelectedLink();
    EXPECT_EQ(block.text().runs_size(), 0);
    linkAnswer = QStringLiteral("not an address");
    editor.userSelectedLink();
    EXPECT_EQ(block.text().runs_size(), 0);
    linkAnswer.reset();  // cancelled
    editor.userSelectedLink();
    EXPECT_EQ(block.text().runs_size(), 0);
    linkAnswer = QStringLiteral("mailto:someone@example.com");
    editor.userSelectedLink();
    ASSERT_EQ(block.text().runs_size(), 1);
    EXPECT_EQ(block.text().runs(0).link(), "mailto:someone@example.com");
    editor.userSelectedLink();
    EXPECT_EQ(block.text().runs_size(), 0);
}

TEST_F(RichTextEditor, TheDelegateHearsOfAChangeBeforeItIsMade) {
    RecordingDelegate delegate;
    delegate.block = &block;
    editor.setRteDelegate(&delegate);
    const std::string before = block.text().SerializeAsString();
    editor.setSelection(0, 5);
    editor.userSelectedBold();
    ASSERT_EQ(delegate.changes.size(), 1u);
    EXPECT_EQ(delegate.changes[0].first, PLYRichTextChangeType::Bold);
    EXPECT_EQ(delegate.changes[0].second, before);
    EXPECT_TRUE(delegate.reports.back().bold);
    editor.setRteDelegate(nullptr);
}

TEST_F(RichTextEditor, AnEmptyBlockShowsThePlaceholderAndTypingFillsIt) {
    PLYBlock empty = PLYTestLayouts::text("e", "");
    PLYRichTextEditor e;
    bind(e, empty);
    e.setEditable(true);
    EXPECT_TRUE(e.isShowingPlaceholder());
    EXPECT_EQ(PLYRichTextEditor::placeholderText(), QStringLiteral("Write Something..."));
    QTextCursor cursor(e.document());
    cursor.insertText(QStringLiteral("Words"));
    EXPECT_FALSE(e.isShowingPlaceholder());
    EXPECT_EQ(empty.text().value(), "") << "typing is written at a commit point";
    e.setEditable(false);  // the end of editing is one
    EXPECT_EQ(empty.text().value(), "Words");
    EXPECT_EQ(actions.last(), QStringLiteral("Typing"));
}

TEST_F(RichTextEditor, AnEmptyBodyBlockIsShownAndTypedInItsStylesFont) {
    // An empty body text serialises to nothing at all: it must still be loaded.
    PLYBlock empty = PLYTestLayouts::text("e", "");
    PLYRichTextEditor e;
    bind(e, empty);
    e.setEditable(true);
    const int stylePixels = PLYRichTextDocument::fontForStyle(PLYTextStyle_Body).pixelSize();
    EXPECT_EQ(e.document()->defaultFont().pixelSize(), stylePixels);
    EXPECT_EQ(e.textWidth(), 800);
    QTextCursor cursor(e.document());
    cursor.insertText(QStringLiteral("Words"));
    EXPECT_EQ(QTextCursor(e.document()).charFormat().font().pixelSize(), stylePixels);
    cursor.setPosition(2);
    EXPECT_EQ(cursor.charFormat().font().pixelSize(), stylePixels);
}

TEST_F(RichTextEditor, PastingThePrivateFormatKeepsStylesAndForeignTextArrivesPlain) {
    editor.setSelection(6, 5);
    editor.userSelectedBold();
    editor.setSelection(0, 11);  // "Hello brave"
    std::unique_ptr<QMimeData> copied(editor.mimeDataForSelection());
    ASSERT_TRUE(copied);
    EXPECT_TRUE(copied->hasFormat(PLYRichTextEditor::kPasteboardType));
    EXPECT_EQ(copied->text(), QStringLiteral("Hello brave"));

    PLYBlock target = PLYTestLayouts::text("x", "End");
    pasteIntoFreshEditor(target, copied.get());
    EXPECT_EQ(target.text().value(), "Hello braveEnd");
    EXPECT_EQ(propertiesAt(target.text(), 7), std::set<int>{PLYTextProperty_Bold});
    EXPECT_TRUE(propertiesAt(target.text(), 12).empty());

    QMimeData foreign;
    foreign.setHtml(QStringLiteral("<b>Loud</b>"));
    foreign.setText(QStringLiteral("Loud"));
    pasteIntoFreshEditor(target, &foreign);
    EXPECT_EQ(target.text().value(), "LoudHello braveEnd");
    EXPECT_TRUE(propertiesAt(target.text(), 1).empty());
    EXPECT_EQ(propertiesAt(target.text(), 11), std::set<int>{PLYTextProperty_Bold});
}

TEST_F(RichTextEditor, AReadOnlyEditorTakesNoPaste) {
    editor.setEditable(false);
    QMimeData data;
    data.setText(QStringLiteral("more"));
    editor.insertFromMimeData(&data);
    EXPECT_EQ(block.text().value(), "Hello brave new world");
}

TEST_F(RichTextEditor, ChangeTypesHaveDisplayNames) {
    EXPECT_EQ(PLYRichTextEditor::convertPreviewChangeTypeToString(PLYRichTextChangeType::Bold, false),
              QStringLiteral("Bold"));
    EXPECT_EQ(PLYRichTextEditor::convertPreviewChangeTypeToString(PLYRichTextChangeType::AddLink, true),
              QStringLiteral("Add Link"));
    EXPECT_EQ(PLYRichTextEditor::convertPreviewChangeTypeToString(PLYRichTextChangeType::Typing, true),
              QStringLiteral("Typing"));
    EXPECT_TRUE(PLYRichTextEditor::convertPreviewChangeTypeToString(PLYRichTextChangeType::Typing, false).isEmpty());
}

TEST(RichTextDocument, RunsRoundTripThroughADocument) {
    PLYBlock block = PLYTestLayouts::text("t", "one two\nthree four");
    PLYTextRun* run = block.mutable_text()->add_runs();
    run->set_location(4);
    run->set_length(9);  // "two\nthree" across the paragraph break
    run->add_properties(PLYTextProperty_Underline);
    run->add_properties(PLYTextProperty_Italic);
    QTextDocument document;
    PLYRichTextDocument::populate(&document, block.text(), 600);
    PLYBlock_Text back;
    PLYRichTextDocument::writeBack(document, &back);
    EXPECT_EQ(back.value(), block.text().value());
    for (int pos : {4, 6, 8, 12})
        EXPECT_EQ(propertiesAt(back, pos), (std::set<int>{PLYTextProperty_Italic, PLYTextProperty_Underline})) << pos;
    EXPECT_TRUE(propertiesAt(back, 3).empty());
    EXPECT_TRUE(propertiesAt(back, 14).empty());
}

}  // namespace

namespace {

// A text in the editor's own clipboard format, as another program (or a crafted clipboard)
// could write it: each word carries a link with `addresses[i]` and, for even i, bold too.
std::unique_ptr<QMimeData> privateFormatWithLinks(const QStringList& addresses, QString* value) {
    PLYBlock_Text text;
    QString words;
    for (int i = 0; i < addresses.size(); ++i) {
        const QString word = QStringLiteral("w%1 ").arg(i);
        PLYTextRun* run = text.add_runs();
        run->set_location(int(words.size()));
        run->set_length(int(word.size()) - 1);
        if (i % 2 == 0)
            run->add_properties(PLYTextProperty_Bold);
        run->add_properties(PLYTextProperty_Link);
        run->set_link(addresses[i].toStdString());
        words += word;
    }
    text.set_value(words.toStdString());
    *value = words;
    auto data = std::make_unique<QMimeData>();
    data->setText(words);
    data->setData(QString::fromLatin1(PLYRichTextEditor::kPasteboardType), QByteArray::fromStdString(text.SerializeAsString()));
    return data;
}

const QStringList kRefusedAddresses{
    QStringLiteral("javascript:alert(1)"),
    QStringLiteral("JavaScript:alert(document.cookie)"),
    QStringLiteral("data:text/html,<script>alert(1)</script>"),
    QStringLiteral("file:///etc/hostname"),
    QStringLiteral("vbscript:msgbox(1)"),
    QStringLiteral("ftp://example.invalid/file"),
    QStringLiteral("smb://example.invalid/share"),
    QStringLiteral("http:///no-host"),
    QStringLiteral("mailto:no-at-sign"),
    QString(),
};
const QStringList kAllowedAddresses{
    QStringLiteral("https://example.invalid/story"),
    QStringLiteral("http://example.invalid/"),
    QStringLiteral("mailto:someone@example.invalid"),
};

}  // namespace

TEST_F(RichTextEditor, LinksGivenByHandAreOnlyWebOrMailAddresses) {
    for (const QString& address : kRefusedAddresses) {
        linkAnswer = address;
        editor.setSelection(0, 5);
        editor.userSelectedLink();
        EXPECT_EQ(block.text().runs_size(), 0) << address.toStdString();
        EXPECT_TRUE(PLYRichTextEditor::normalisedLinkAddress(address).isEmpty()) << address.toStdString();
    }
    for (const QString& address : kAllowedAddresses) {
        linkAnswer = address;
        editor.setSelection(0, 5);
        editor.userSelectedLink();
        ASSERT_EQ(block.text().runs_size(), 1) << address.toStdString();
        EXPECT_EQ(QString::fromStdString(block.text().runs(0).link()), address);
        editor.userSelectedLink();  // off again
        EXPECT_EQ(block.text().runs_size(), 0);
    }
}

TEST_F(RichTextEditor, PastedLinksPassTheSameRuleAndRefusedOnesLeaveTheirWordsAndStyles) {
    const QStringList addresses = kRefusedAddresses + kAllowedAddresses;
    QString words;
    const auto data = privateFormatWithLinks(addresses, &words);
    PLYBlock target = PLYTestLayouts::text("x", "");
    pasteIntoFreshEditor(target, data.get());

    ASSERT_EQ(QString::fromStdString(target.text().value()), words);
    QStringList kept;
    for (const PLYTextRun& run : target.text().runs()) {
        const bool linked = std::find(run.properties().begin(), run.properties().end(), PLYTextProperty_Link) !=
                            run.properties().end();
        EXPECT_EQ(linked, !run.link().empty());
        if (linked)
            kept << QString::fromStdString(run.link());
    }
    EXPECT_EQ(kept, kAllowedAddresses);
    for (int i = 0; i < addresses.size(); ++i) {
        const int inside = int(words.indexOf(QStringLiteral("w%1 ").arg(i)));
        std::set<int> expected;
        if (i % 2 == 0)
            expected.insert(PLYTextProperty_Bold);
        if (i >= kRefusedAddresses.size())
            expected.insert(PLYTextProperty_Link);
        EXPECT_EQ(propertiesAt(target.text(), inside), expected) << addresses[i].toStdString();
    }
}

TEST_F(RichTextEditor, ThePasteCommandTakesTheClipboardThroughTheSameRule) {
    QString words;
    auto data = privateFormatWithLinks({QStringLiteral("javascript:alert(1)"), QStringLiteral("https://example.invalid/")},
                                       &words);
    QApplication::clipboard()->setMimeData(data.release());
    editor.setSelection(0, 0);
    editor.paste();
    EXPECT_EQ(QString::fromStdString(block.text().value()), words + QStringLiteral("Hello brave new world"));
    ASSERT_EQ(block.text().runs_size(), 2);
    EXPECT_EQ(propertiesAt(block.text(), 0), std::set<int>{PLYTextProperty_Bold});
    EXPECT_EQ(block.text().runs(0).link(), "");
    EXPECT_EQ(block.text().runs(1).link(), "https://example.invalid/");
}

TEST(RichTextDocument, AStoredLayoutLosesOnlyItsNonWebLinksWhenCleaned) {
    PLYBlock outer = PLYTestLayouts::text("a", "outer words");
    PLYTextRun* bad = outer.mutable_text()->add_runs();
    bad->set_location(0);
    bad->set_length(5);
    bad->add_properties(PLYTextProperty_Link);
    bad->set_link("javascript:alert(1)");
    PLYBlock inner = PLYTestLayouts::text("b", "inner words");
    PLYTextRun* good = inner.mutable_text()->add_runs();
    good->set_location(0);
    good->set_length(5);
    good->add_properties(PLYTextProperty_Italic);
    good->add_properties(PLYTextProperty_Link);
    good->set_link("https://example.invalid/");
    PLYTextRun* data = inner.mutable_text()->add_runs();
    data->set_location(6);
    data->set_length(5);
    data->add_properties(PLYTextProperty_Italic);
    data->add_properties(PLYTextProperty_Link);
    data->set_link("data:text/html,x");
    PLYLayout layout = PLYTestLayouts::layout(
        10, {PLYTestLayouts::section("s", {outer, PLYTestLayouts::container("c", false, {inner, PLYTestLayouts::blank("z")})})});

    EXPECT_EQ(PLYRichTextDocument::dropLinksNotAllowed(&layout), 2);
    const PLYBlock_Text& cleanOuter = layout.sections(0).blocks(0).text();
    EXPECT_EQ(cleanOuter.runs_size(), 0) << "a run left with no style goes";
    EXPECT_EQ(cleanOuter.value(), "outer words");
    const PLYBlock_Text& cleanInner = layout.sections(0).blocks(1).container().sub_blocks(0).text();
    ASSERT_EQ(cleanInner.runs_size(), 2);
    EXPECT_EQ(cleanInner.runs(0).link(), "https://example.invalid/");
    EXPECT_EQ(propertiesAt(cleanInner, 7), std::set<int>{PLYTextProperty_Italic});
    EXPECT_EQ(cleanInner.runs(1).link(), "");
    EXPECT_EQ(PLYRichTextDocument::dropLinksNotAllowed(&layout), 0) << "nothing more to take";
}

TEST_F(RichTextEditor, TextDroppedOnTheEditorBringsItsWordsButNoLink) {
    QGraphicsScene scene;
    QGraphicsView view(&scene);
    view.resize(900, 300);
    scene.setSceneRect(0, 0, 850, 250);
    scene.addItem(&editor);
    view.show();
    editor.setFocus();
    QMimeData data;
    data.setHtml(QStringLiteral("<a href=\"javascript:alert(1)\">evil</a> <b>loud</b>"));
    data.setText(QStringLiteral("evil loud"));
    const QPoint at = view.mapFromScene(QPointF(2, 5));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    PLYRichTextEditor::commitLiveEditors();
    scene.removeItem(&editor);

    EXPECT_TRUE(QString::fromStdString(block.text().value()).contains(QStringLiteral("evil loud")))
        << block.text().value();
    for (const PLYTextRun& run : block.text().runs()) {
        EXPECT_EQ(run.link(), "");
        for (int property : run.properties())
            EXPECT_NE(property, PLYTextProperty_Link);
    }
}
