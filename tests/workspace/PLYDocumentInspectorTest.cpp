// The Document tab offscreen: typed and stepped padding, the colour well, their undo steps, the
// SEO fields and their add buttons, the keyword field with its completions, and the image counts;
// and the SEO grades following the edits made here.
#include "PLYColourWell.h"
#include "PLYDocumentViewController.h"
#include "PLYKeywordTokenField.h"
#include "PLYLayoutManager.h"
#include "PLYNotificationCenter.h"
#include "PLYPersistantPost.h"
#include "PLYPostManager.h"
#include "PLYSeoManager.h"
#include "PLYSourceDirectory.h"
#include "PLYStepper.h"
#include "PLYTestEnvironment.h"
#include "PLYTestLayouts.h"
#include "PLYUndoManager.h"
#include "PLYUserDefaults.h"
#include "PLYWindowUndoManager.h"

#include <QApplication>
#include <QColorDialog>
#include <QCompleter>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class DocumentInspectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYSeoManager::install();
        PLYUserDefaults::standardUserDefaults().removeObjectForKey(QLatin1String(PLYSeoManager::FocusKeywordsKey));
        auto post = PLYPersistantPost::create(QStringLiteral("Post"), PLYTestEnvironment::makeTempDirectory(), {});
        *post->layout() = PLYTestLayouts::layout(10, {PLYTestLayouts::section("s", {})}, 255, 255, 255);
        manager = PLYPostManager::create(post);
        m_bag.add(QString::fromLatin1(PLYLayoutManager::LayoutDidChangeNotification), nullptr,
                  [this](const PLYNotification&) { ++layoutChanges; });
        tab = std::make_unique<PLYDocumentViewController>();
        tab->resize(300, 600);
    }
    void TearDown() override {
        tab.reset();
        PLYSeoManager::uninstall();
    }
    template <class T>
    T* child(const char* name) {
        T* found = tab->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    PLYPersistantPost& post() { return *manager->representedPost(); }
    const PLYLayout& layout() { return post().constLayout(); }
    static void type(QWidget* field, const QString& text) {
        field->setFocus();
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }

    std::shared_ptr<PLYPostManager> manager;
    std::unique_ptr<PLYDocumentViewController> tab;
    int layoutChanges = 0;
    PLYObserverBag m_bag;
};

}  // namespace

TEST_F(DocumentInspectorTest, PaddingFromFieldAndStepperIsOneAnnouncedEditWithinRange) {
    auto* field = child<QLineEdit>("paddingTextField");
    auto* stepper = child<PLYStepper>("paddingStepper");
    EXPECT_EQ(field->text(), QStringLiteral("0")) << "before a layout manager";
    EXPECT_EQ(child<PLYColourWell>("backgroundColourWell")->colour(), QColor(Qt::white));
    tab->setLayoutManager(manager->layoutManager());
    tab->show();
    EXPECT_EQ(field->text(), QStringLiteral("10"));

    type(field, QStringLiteral("24"));
    EXPECT_EQ(layout().padding(), 24);
    EXPECT_EQ(stepper->value(), 24);
    EXPECT_EQ(layoutChanges, 1);

    const struct {
        const char* typed;
        qint64 padding;
    } rows[] = {{"abc", 0}, {"9999999999999", PLYLayoutManager::MaximumPadding}, {"-7", 0}, {" 16px", 16}};
    for (const auto& row : rows) {
        type(field, QString::fromUtf8(row.typed));
        EXPECT_EQ(layout().padding(), row.padding) << row.typed;
        EXPECT_EQ(field->text(), QString::number(row.padding)) << "the field shows what was taken";
        EXPECT_EQ(stepper->value(), row.padding);
    }

    layoutChanges = 0;
    QTest::mouseClick(stepper->findChild<QToolButton*>(QStringLiteral("stepUpButton")), Qt::LeftButton);
    EXPECT_EQ(layout().padding(), 17);
    EXPECT_EQ(field->text(), QStringLiteral("17"));
    EXPECT_EQ(layoutChanges, 1);
    type(field, QStringLiteral("17"));
    EXPECT_EQ(layoutChanges, 1) << "an unchanged padding announces nothing";
}

TEST_F(DocumentInspectorTest, ColourWellSetsTheLayoutBackgroundRoundedDown) {
    tab->setLayoutManager(manager->layoutManager());
    auto* well = child<PLYColourWell>("backgroundColourWell");
    well->chooseColour(QColor::fromRgbF(0.5f, 0.5f, 0.5f));
    EXPECT_EQ(layout().background_colour().r(), 127.0f);
    EXPECT_EQ(layout().background_colour().g(), 127.0f);
    EXPECT_EQ(layout().background_colour().b(), 127.0f);
    EXPECT_EQ(layoutChanges, 1);
    well->chooseColour(QColor(255, 0, 0));
    EXPECT_EQ(layout().background_colour().r(), 255.0f);
    EXPECT_EQ(layout().background_colour().g(), 0.0f);
    EXPECT_EQ(layoutChanges, 2);
}

TEST_F(DocumentInspectorTest, SeoFieldsEditThePostAndTheGradesFollow) {
    post().setMetaDescription(QStringLiteral("A lake at dawn."));
    tab->setLayoutManager(manager->layoutManager());
    tab->show();
    auto seo = manager->seoManager();
    auto* metaAdd = child<QPushButton>("seoMetaAddButton");
    auto* keywordsAdd = child<QPushButton>("focusKeywordsAddButton");
    EXPECT_FALSE(metaAdd->isVisible()) << "a post with a meta description opens with its field";
    EXPECT_TRUE(child<QWidget>("seoMetaView")->isVisible());
    EXPECT_TRUE(keywordsAdd->isVisible());
    EXPECT_FALSE(child<QWidget>("focusKeywordView")->isVisible());

    QTest::mouseClick(keywordsAdd, Qt::LeftButton);
    EXPECT_FALSE(keywordsAdd->isVisible());
    EXPECT_TRUE(child<QWidget>("focusKeywordView")->isVisible());
    type(child<PLYKeywordTokenField>("focusKeywordTokenField"), QStringLiteral("lake  Dawn"));
    EXPECT_EQ(post().focusKeywords(), (QStringList{QStringLiteral("lake"), QStringLiteral("Dawn")}));
    EXPECT_EQ(PLYSeoManager::keywordsMatchingPrefix(QString()), (QStringList{QStringLiteral("lake"), QStringLiteral("Dawn")}));
    EXPECT_EQ(seo->metaMetric()->subMetrics()[1].level, PLYSeoLevelGood);
    EXPECT_EQ(seo->keywordsMetric()->summaryLevel(), PLYSeoLevelWarning);

    auto* title = child<QLineEdit>("seoTitleTextField");
    type(title, QStringLiteral("Lake"));
    EXPECT_EQ(post().seoTitle(), QStringLiteral("Lake"));
    EXPECT_EQ(seo->titleMetric()->subMetrics()[1].reason,
              QStringLiteral("these focus keywords: 'Dawn' are missing from the title, why not add them?"));

    auto* meta = child<QPlainTextEdit>("seoMetaTextField");
    meta->setFocus();
    QTest::keyClick(meta, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClicks(meta, QStringLiteral(" Calm"));
    QTest::keyClick(meta, Qt::Key_Return);
    EXPECT_EQ(post().metaDescription(), QStringLiteral("A lake at dawn. Calm")) << "one paragraph, no line break";
    EXPECT_EQ(layoutChanges, 0) << "SEO fields are not layout edits";

    // Emptied later, the meta field stays shown: its add button does not come back.
    meta->clear();
    tab->setLayoutManager(manager->layoutManager());
    EXPECT_FALSE(metaAdd->isVisible());
    EXPECT_EQ(post().metaDescription(), QString());
}

TEST_F(DocumentInspectorTest, KeywordFieldCompletesTheWordBeingTypedFromTheStore) {
    for (const char* k : {"photo", "Photography", "lake"}) PLYSeoManager::addKeywordToStore(QString::fromUtf8(k));
    tab->setLayoutManager(manager->layoutManager());
    tab->show();
    QTest::mouseClick(child<QPushButton>("focusKeywordsAddButton"), Qt::LeftButton);
    auto* field = child<PLYKeywordTokenField>("focusKeywordTokenField");
    QTest::keyClicks(field, QStringLiteral("lake PH"));
    EXPECT_EQ(field->currentSubstring(), QStringLiteral("PH"));
    auto* model = field->completer()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("Photography"));
    emit field->completer()->activated(QStringLiteral("Photography"));
    EXPECT_EQ(field->text(), QStringLiteral("lake Photography"));
}

TEST_F(DocumentInspectorTest, ImageCountsFollowCountAndLocationChanges) {
    tab->setLayoutManager(manager->layoutManager());
    auto* used = child<QLabel>("totalImagesUsedLabel");
    EXPECT_EQ(used->text(), QStringLiteral("0"));
    EXPECT_EQ(child<QLabel>("totalImagesImportedLabel")->text(), QStringLiteral("0"));
    post().incrementInUseCountForImage(QStringLiteral("img-1"));
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYSourceDirectory::ChangedNotification));
    EXPECT_EQ(used->text(), QStringLiteral("1"));
    post().incrementInUseCountForImage(QStringLiteral("img-2"));
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYPersistantPost::ImageCountChangeNotification));
    EXPECT_EQ(used->text(), QStringLiteral("2"));

    const int before = PLYNotificationCenter::defaultCenter().observerCount();
    tab.reset();
    // The counts' two notifications and the layout's changes.
    EXPECT_EQ(PLYNotificationCenter::defaultCenter().observerCount(), before - 3);
}

// Each change made here is a step of the post's history; what one press does (an arrow held down
// while it repeats, a drag over the colour panel's field) is one step, however many values it
// passes through.
TEST_F(DocumentInspectorTest, AHeldArrowOrAColourDraggedInThePanelIsOneStep) {
    tab->setLayoutManager(manager->layoutManager());
    tab->show();
    PLYUndoManager* undo = PLYWindowUndoManager::undoManagerForWidget(tab.get());
    auto* up = child<PLYStepper>("paddingStepper")->findChild<QToolButton*>(QStringLiteral("stepUpButton"));
    auto* well = child<PLYColourWell>("backgroundColourWell");
    ASSERT_TRUE(up && well);

    QTest::mousePress(up, Qt::LeftButton);
    ASSERT_TRUE(PLYTestEnvironment::waitUntil([&] { return layout().padding() >= 13; })) << "the arrow repeats";
    QTest::mouseRelease(up, Qt::LeftButton);
    const qint64 held = layout().padding();
    EXPECT_EQ(undo->undoCount(), 1);
    EXPECT_EQ(undo->undoActionName(), PLYDocumentViewController::PaddingUndoName);
    QTest::mouseClick(up, Qt::LeftButton);
    QTest::mouseClick(up, Qt::LeftButton);
    EXPECT_EQ(layout().padding(), held + 2);
    EXPECT_EQ(undo->undoCount(), 3) << "two clicks, two steps";

    well->activate();
    auto* panel = tab->findChild<QColorDialog*>();
    ASSERT_NE(panel, nullptr);
    QWidget* field = nullptr;
    for (QWidget* part : panel->findChildren<QWidget*>())
        if (QByteArray(part->metaObject()->className()) == "QColorPicker") field = part;
    ASSERT_NE(field, nullptr) << "the panel's colour field";
    const auto pointer = [&](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, p, field->mapToGlobal(p), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, {});
        QApplication::sendEvent(field, &e);
    };
    pointer(QEvent::MouseButtonPress, QPoint(10, 10), Qt::LeftButton);
    for (int i = 1; i <= 5; ++i) pointer(QEvent::MouseMove, QPoint(10 + 20 * i, 10 + 10 * i), Qt::LeftButton);
    pointer(QEvent::MouseButtonRelease, QPoint(110, 60), Qt::NoButton);
    EXPECT_NE(layout().background_colour().g(), 255.0f) << "the drag coloured the layout";
    EXPECT_EQ(undo->undoCount(), 4) << "one drag, one step";
    EXPECT_EQ(undo->undoActionName(), PLYDocumentViewController::BackgroundColourUndoName);

    undo->undo();
    EXPECT_EQ(layout().background_colour().r(), 255.0f);
    EXPECT_EQ(layout().background_colour().g(), 255.0f);
    EXPECT_EQ(well->colour().rgb(), QColor(Qt::white).rgb()) << "the well follows the undo";
    undo->undo();
    undo->undo();
    EXPECT_EQ(layout().padding(), held);
    undo->undo();
    EXPECT_EQ(layout().padding(), 10);
    EXPECT_EQ(child<QLineEdit>("paddingTextField")->text(), QStringLiteral("10")) << "the field follows the undo";
    EXPECT_FALSE(undo->canUndo());
}
