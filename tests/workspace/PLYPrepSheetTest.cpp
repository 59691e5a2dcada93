// The new-post sheet offscreen: its completion on cancel and on done, the alerts that stop an
// unnamed post and ask about a missing folder, the padding field and stepper kept equal, the
// folder chosen or taken from the recent folders, and what the folder label reads.
#include "PLYAlertPresenter.h"
#include "PLYColourWell.h"
#include "PLYDefaults.h"
#include "PLYFileDialogs.h"
#include "PLYPrepViewController.h"
#include "PLYRecentContainer.h"
#include "PLYScriptedAlertPresenter.h"
#include "PLYScriptedFileDialogs.h"
#include "PLYStepper.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

class PrepSheetTest : public ::testing::Test {
protected:
    void SetUp() override {
        PLYUserDefaults& defaults = PLYUserDefaults::standardUserDefaults();
        for (const char* key : {PLYRecentContainer::kRecentDirectories, PLYRecentContainer::kRecentBookmarks})
            defaults.removeObjectForKey(QLatin1String(key));
        PLYDefaults::setDefaultPadding(12.7);
        PLYDefaults::setDefaultColour(QColor(Qt::white));
        PLYAlertPresenter::setShared(alerts);
        PLYFileDialogs::setShared(dialogs);
        sheet = std::make_unique<PLYPrepViewController>();
        sheet->setCompletionBlock([this](bool confirmed) { completions << confirmed; });
        sheet->open();
    }
    void TearDown() override {
        sheet.reset();
        PLYAlertPresenter::setShared(nullptr);
        PLYFileDialogs::setShared(nullptr);
    }
    template <class T>
    T* child(const char* name) {
        T* found = sheet->findChild<T*>(QLatin1String(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    void type(const char* field, const QString& text) {
        auto* edit = child<QLineEdit>(field);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void click(const char* button) { QTest::mouseClick(child<QAbstractButton>(button), Qt::LeftButton); }

    std::shared_ptr<PLYScriptedAlertPresenter> alerts = std::make_shared<PLYScriptedAlertPresenter>();
    std::shared_ptr<PLYScriptedFileDialogs> dialogs = std::make_shared<PLYScriptedFileDialogs>();
    std::unique_ptr<PLYPrepViewController> sheet;
    QList<bool> completions;
};

}  // namespace

TEST_F(PrepSheetTest, CancelAndEscapeReportNoOnceAndAskNothing) {
    ASSERT_TRUE(sheet->isVisible());
    EXPECT_TRUE(sheet->isModal());
    click("cancelButton");
    EXPECT_EQ(completions, QList<bool>{false});
    EXPECT_FALSE(sheet->isVisible());
    sheet->doneAction();  // a late click of the hidden sheet
    EXPECT_EQ(completions, QList<bool>{false});

    sheet->open();  // shown again: it answers again, once
    QTest::keyClick(sheet.get(), Qt::Key_Escape);
    EXPECT_EQ(completions, (QList<bool>{false, false}));
    EXPECT_TRUE(alerts->presented().isEmpty());
}

TEST_F(PrepSheetTest, DoneNeedsANameAndConfirmsAMissingFolder) {
    click("doneButton");
    ASSERT_EQ(alerts->presented().size(), 1);
    const PLYAlertRequest& noName = alerts->presented().at(0);
    EXPECT_EQ(noName.messageText, QStringLiteral("No Name Set"));
    EXPECT_EQ(noName.informativeText, QStringLiteral("You need to give your blog a name"));
    EXPECT_EQ(noName.buttonTitles, QStringList{QStringLiteral("Ok")});
    EXPECT_TRUE(completions.isEmpty());
    EXPECT_TRUE(sheet->isVisible());

    type("titleTextField", QStringLiteral("Highland Walks"));
    sheet->findChild<PLYColourWell*>(QStringLiteral("colourPicker"))->chooseColour(QColor(255, 0, 0));
    alerts->scriptButtonIndex(1);  // "No"
    click("doneButton");
    ASSERT_EQ(alerts->presented().size(), 2);
    const PLYAlertRequest& noFolder = alerts->presented().at(1);
    EXPECT_EQ(noFolder.messageText, QStringLiteral("No Watch Folder Set"));
    EXPECT_EQ(noFolder.informativeText, QStringLiteral("You have no set a watch folder. Are you sure you wish to continue?"));
    EXPECT_EQ(noFolder.buttonTitles, (QStringList{QStringLiteral("Yes"), QStringLiteral("No")}));
    EXPECT_TRUE(completions.isEmpty()) << "\"No\" leaves the sheet as it was";
    EXPECT_TRUE(sheet->isVisible());

    alerts->scriptButtonIndex(0);  // "Yes"
    click("doneButton");
    EXPECT_EQ(completions, QList<bool>{true});
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_EQ(sheet->documentTitle(), QStringLiteral("Highland Walks"));
    EXPECT_TRUE(sheet->directoryWatch().isEmpty());
    EXPECT_EQ(sheet->documentPadding(), 12) << "the stored 12.7 truncated";
    const PLYColour colour = sheet->documentColour();
    EXPECT_EQ(QColor(int(colour.r()), int(colour.g()), int(colour.b())), QColor(255, 0, 0));
}

TEST_F(PrepSheetTest, PaddingFieldAndStepperStayEqualWithinRange) {
    auto* field = child<QLineEdit>("horizontalPaddingField");
    auto* stepper = child<PLYStepper>("paddingStepper");
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    type("horizontalPaddingField", QStringLiteral("25"));
    EXPECT_EQ(stepper->value(), 25);
    type("horizontalPaddingField", QStringLiteral("abc"));
    EXPECT_EQ(stepper->value(), 0);
    EXPECT_EQ(sheet->documentPadding(), 0);
    type("horizontalPaddingField", QStringLiteral("99999999999999999999999"));
    EXPECT_EQ(sheet->documentPadding(), 100) << "clamped, not overflowed";
    QTest::mouseClick(stepper->findChild<QToolButton*>(QStringLiteral("stepDownButton")), Qt::LeftButton);
    EXPECT_EQ(sheet->documentPadding(), 99);
    EXPECT_EQ(field->text(), QStringLiteral("99"));

    PLYDefaults::setDefaultPadding(1e30);  // a stored default out of range starts within it
    EXPECT_EQ(PLYPrepViewController::defaultPadding(), 100);
}

TEST_F(PrepSheetTest, FolderFromThePanelOrTheRecentList) {
    auto* label = child<QLabel>("directoryLabel");
    EXPECT_EQ(label->text(), QStringLiteral("No folder selected"));
    EXPECT_FALSE(child<QPushButton>("recentDirectoriesButton")->isEnabled()) << "no recent folders yet";
    click("chooseDirectoryButton");  // the panel is cancelled
    EXPECT_TRUE(sheet->directoryWatch().isEmpty());
    EXPECT_EQ(label->text(), QStringLiteral("No folder selected"));

    // A folder named like the one holding it: only the last component goes.
    const QString root = PLYTestEnvironment::makeTempDirectory(QStringLiteral("Trip"));
    const QString chosen = QDir(root).filePath(QStringLiteral("Trip"));
    ASSERT_TRUE(QDir().mkpath(chosen));
    const QString other = PLYTestEnvironment::makeTempDirectory(QStringLiteral("other"));
    PLYRecentContainer::addPathToRecents(other);
    dialogs->scriptFolder(chosen);
    click("chooseDirectoryButton");
    EXPECT_EQ(sheet->directoryWatch(), QUrl::fromLocalFile(chosen));
    EXPECT_EQ(label->text(), root);
    EXPECT_EQ(child<QLabel>("directoryNameLabel")->text(), QStringLiteral("Trip"));
    EXPECT_TRUE(sheet->previousBookmarkData().isEmpty()) << "a fresh choice has no stored bookmark";
    EXPECT_EQ(PLYRecentContainer::recentPaths(), (QStringList{chosen, other}));

    // From the recent menu: the stored bookmark travels with it; a folder gone since is refused.
    auto* menu = child<QMenu>("recentDirectoriesMenu");
    emit menu->aboutToShow();
    ASSERT_EQ(menu->actions().size(), 2);
    menu->actions().at(1)->trigger();
    EXPECT_EQ(sheet->directoryWatch(), QUrl::fromLocalFile(other));
    EXPECT_EQ(sheet->previousBookmarkData(), PLYRecentContainer::bookmarkForPath(other));
    ASSERT_TRUE(QDir(chosen).removeRecursively());
    emit menu->aboutToShow();
    EXPECT_FALSE(menu->actions().at(0)->isEnabled());
    EXPECT_FALSE(sheet->setRecentDirectoryAction(chosen));
    EXPECT_EQ(sheet->directoryWatch(), QUrl::fromLocalFile(other));

    // With a folder, Done completes without asking.
    type("titleTextField", QStringLiteral("Post"));
    click("doneButton");
    EXPECT_EQ(completions, QList<bool>{true});
    EXPECT_TRUE(alerts->presented().isEmpty());
}

TEST(PrepSheetLabel, OnlyTheLastPathComponentIsStripped) {
    const auto label = [](const char* path) { return PLYPrepViewController::directoryLabelText(QUrl::fromLocalFile(path)); };
    EXPECT_EQ(label("/Volumes/Photos/2019/Trip"), QStringLiteral("/Volumes/Photos/2019"));
    EXPECT_EQ(label("/Photos/Trip/Trip"), QStringLiteral("/Photos/Trip"));
    EXPECT_EQ(label("/a/Trip2019/Trip"), QStringLiteral("/a/Trip2019"));
    EXPECT_EQ(label("/Trip"), QStringLiteral("/"));
    EXPECT_EQ(PLYPrepViewController::directoryLabelText({}), QStringLiteral("No folder selected"));
}
