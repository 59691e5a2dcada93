// Words a user typed or the service sent are shown as those characters wherever the
// application shows them: never read as markup (a link that opens, a picture read from disk,
// a heading) and never turned into a keyboard accelerator. Each hostile string is fed through
// the launched application against the development service, and every place it reaches is read
// back as the person would see it.

#include "PLYServiceRoad.h"

#include "PLYAuthViewController.h"
#include "PLYBaseViewController.h"
#include "PLYHomeViewController.h"
#include "PLYInspectorViewController.h"
#include "PLYPostManager.h"
#include "PLYPostSelecorPopUpButton.h"
#include "PLYPrepViewController.h"
#include "PLYPublishViewController.h"
#include "PLYQtAlertPresenter.h"
#include "PLYRecentContainer.h"
#include "PLYTestWidgets.h"
#include "PLYUserDefaults.h"
#include "PLYWebServiceAccount.h"
#include "PLYWebServicePostPublisher.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTextDocument>
#include <QWindow>

#ifdef PELLORY_HAS_DEVSERVICE

using PLYTestEnvironment::waitUntil;

namespace {

using Manager = PLYWebServiceManager;
using Publisher = PLYWebServicePostPublisher;
using PLYTestWidgets::child;

// What Qt draws for a string it may take for rich text: the characters of the document it
// would make of it.
QString asRendered(const QString& text, Qt::TextFormat format) {
    const bool rich = format == Qt::RichText || (format == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich) return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}
QString shownBy(const QLabel* label) { return label ? asRendered(label->text(), label->textFormat()) : QStringLiteral("<no label>"); }
QString shownAsToolTip(const QString& toolTip) { return asRendered(toolTip, Qt::AutoText); }
// What a menu item or button shows: "&&" is an "&"; a lone "&" marks the accelerator and is not drawn.
QString shownAsMnemonic(const QString& title) {
    QString shown;
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (title.at(i) != QLatin1Char('&')) shown += title.at(i);
        else if (i + 1 < title.size() && title.at(i + 1) == QLatin1Char('&')) shown += title.at(++i);
    }
    return shown;
}

// One place that shows the string, as the person sees it, and what it should read.
struct Reading {
    QString place;
    QString shown;
    QString expected;
    // Shortened to fit: the start of `expected` and an ellipsis are enough.
    bool mayBeElided = false;
};

class ShownText : public ServiceRoad, public ::testing::WithParamInterface<QString> {
protected:
    void read(const QString& place, const QString& shown, const QString& expected, bool mayBeElided = false) {
        readings.append({place, shown, expected, mayBeElided});
    }
    // The alert the person would see for `request`, from the application's own presenter.
    void readAlert(const QString& place, const PLYAlertRequest& request, const QString& expectedMessage,
                   const QString& expectedInformative) {
        std::unique_ptr<QMessageBox> box(PLYQtAlertPresenter::makeMessageBox(request, nullptr, nullptr));
        read(place + " (message)", shownBy(box->findChild<QLabel*>("qt_msgbox_label")), expectedMessage);
        read(place + " (informative)", shownBy(box->findChild<QLabel*>("qt_msgbox_informativelabel")), expectedInformative);
    }

    QList<Reading> readings;
};

TEST_P(ShownText, EveryPlaceShowsTheStringAsItsCharacters) {
    const QString hostile = GetParam();
    PLYBaseWindowController* main = launchApplication();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(sessionIn(Manager::StateNoAccount));

    // The sign-in form: the service's words for a refusal.
    PLYAuthViewController* login = main->authViewController();
    ASSERT_NE(login, nullptr);
    PLYTestWidgets::type(login, "usernameTextField", "ada@dev.example.org");
    PLYTestWidgets::type(login, "passwordTextField", "secret1");
    dev->fakeService().enqueueReply("POST", "/api/log-in", PLYErrorReply(401, 99, hostile));
    PLYTestWidgets::click(login, "signInButton");
    ASSERT_TRUE(waitUntil([&] { return !login->tryingLogin(); }));
    read("sign-in refusal", shownBy(child<QLabel>(login, "signInErrorLabel")), hostile);

    // An account whose first name is the string: the service stores it and sends it back.
    ASSERT_TRUE(session()->createUserAccountWithFirstName(hostile, "Lovelace", "ada@dev.example.org", "secret1"));
    ASSERT_TRUE(sessionIn(Manager::StateIdle)) << session()->currentStateName().toStdString();
    ASSERT_TRUE(session()->updateAccount("blog.example.org"));
    ASSERT_TRUE(waitUntil([&] { return session()->remoteAccount()->host() == "blog.example.org"; }));
    login->finishCreation();
    ASSERT_TRUE(waitUntil([&] { return main->baseViewController()->screen() == PLYRootNavigation::Screen::Home; }));

    // A post named with the string, watching a folder whose path holds it, published.
    const auto account = PLYCoreManager::persistantStore()->currentAccount();
    ASSERT_TRUE(account);
    account->setFirstName(hostile);
    const auto post = account->createNewPost(hostile);
    const auto other = account->createNewPost("Plain");
    ASSERT_TRUE(post->save() && other->save());
    const QString folder = QDir::cleanPath(PLYTestEnvironment::makeTempDirectory("photos") + "/" + hostile);
    ASSERT_TRUE(QDir().mkpath(folder));
    PLYCoreManager* core = PLYCoreManager::globalManager();
    const auto postManager = core->postManagerForPostID(post->identifier());
    ASSERT_TRUE(postManager);
    postManager->setWatchLocation(QUrl::fromLocalFile(folder));
    ASSERT_TRUE(post->save());
    const auto publisher = session()->publisherForPostAs<Publisher>(post);
    ASSERT_TRUE(publisher);
    ASSERT_TRUE(waitUntil([&] { return publisher->currentStateName() == Publisher::StateNotPublished; }));
    ASSERT_TRUE(publisher->createOrUpdatePublishedPost());
    ASSERT_TRUE(waitUntil([&] { return publisher->publishingPost() && publisher->currentStateName() == Publisher::StateIdle; }))
        << publisher->currentStateName().toStdString();
    PLYNotificationCenter::defaultCenter().post(QString::fromLatin1(PLYCoreManager::PostsWereUpdatedNotification));

    // Home: the post's tile and the account's name line.
    PLYHomeViewController* home = main->baseViewController()->homeViewController();
    home->refreshAccount();
    ASSERT_TRUE(waitUntil([&] { return tileOf(main, post) != nullptr; }));
    PLYRecentCollectionViewItem* tile = tileOf(main, post);
    read("home tile title", shownBy(child<QLabel>(tile, "titleLabel")), hostile, true);
    read("home tile tooltip", shownAsToolTip(child<QLabel>(tile, "titleLabel")->toolTip()), hostile);
    const QString accountName = shownBy(child<QLabel>(home, "accountNameLabel"));
    EXPECT_TRUE(accountName.contains(hostile)) << accountName.toStdString();
    read("account name line", accountName.left(hostile.size()), hostile);

    // The post's window: title bar, window title, both post switchers.
    core->setCurrentPostManager(postManager);
    ASSERT_TRUE(waitUntil([&] { return main->baseViewController()->screen() == PLYRootNavigation::Screen::Editor; }));
    QPushButton* current = main->currentPostButton();
    read("title bar post button", shownAsMnemonic(current->text()), hostile, true);
    read("title bar post button tooltip", shownAsToolTip(current->toolTip()), hostile);
    ASSERT_TRUE(main->windowHandle());
    read("window title", main->windowHandle()->title(), hostile + QString::fromUtf8(" — Pellory"));
    main->showPostMenu();
    ASSERT_TRUE(main->postMenu());
    QStringList entries;
    for (QAction* action : main->postMenu()->actions())
        if (!action->isSeparator()) entries << shownAsMnemonic(action->text());
    read("title bar post menu", entries.contains(hostile) ? hostile : entries.join(" | "), hostile);
    main->postMenu()->close();
    PLYPostSelecorPopUpButton switcher;
    switcher.setTitleFromPostManager(postManager);
    switcher.showPostMenu();
    ASSERT_TRUE(switcher.postMenu());
    QStringList switcherEntries;
    for (QAction* action : switcher.postMenu()->actions())
        if (!action->isSeparator()) switcherEntries << shownAsMnemonic(action->text());
    read("post switcher menu", switcherEntries.contains(hostile) ? hostile : switcherEntries.join(" | "), hostile);
    switcher.postMenu()->close();

    // The search-engine sentences quote the keywords inside their own bold and italic.
    post->setFocusKeywords(QStringList{hostile, QStringLiteral("lake")});
    post->setSeoTitle(QStringLiteral("A morning by the lake, calm and grey"));
    auto* seoTitle = main->findChild<QLabel*>("seoTitleLabel");
    ASSERT_TRUE(seoTitle);
    ASSERT_TRUE(waitUntil([&] { return shownBy(seoTitle).contains(QStringLiteral("missing")); }));
    const QString sentence = shownBy(seoTitle);
    read("search-engine title sentence", sentence.contains("'" + hostile + "'") ? hostile : sentence, hostile);

    // The publish panel's "Delete the Published Post?" alert, as the application presents it.
    auto* inspector = main->findChild<PLYInspectorViewController*>();
    ASSERT_TRUE(inspector && inspector->publishViewController());
    alerts->scriptButtonIndex(1);  // Cancel
    const auto before = alerts->presented().size();
    inspector->publishViewController()->deleteRemotePost();
    ASSERT_EQ(alerts->presented().size(), before + 1);
    const PLYAlertRequest deleteAlert = alerts->presented().last();
    EXPECT_EQ(deleteAlert.messageText, "Delete the Published Post?");
    readAlert("delete published post alert", deleteAlert, "Delete the Published Post?",
              QStringLiteral("\"%1\" will be removed from the web. The post stays in your library and can be published again.")
                  .arg(hostile));
    // Any alert: the service's words, and a button titled with them.
    PLYAlertRequest serviceAlert;
    serviceAlert.messageText = hostile;
    serviceAlert.informativeText = hostile;
    serviceAlert.buttonTitles = {hostile, "Cancel"};
    readAlert("service error alert", serviceAlert, hostile, hostile);
    {
        QList<QAbstractButton*> buttons;
        std::unique_ptr<QMessageBox> box(PLYQtAlertPresenter::makeMessageBox(serviceAlert, nullptr, &buttons));
        read("alert button", shownAsMnemonic(buttons.value(0)->text()), hostile);
    }

    // The new-post sheet: the folder taken from the recent list, its name, its path and the list.
    PLYRecentContainer::addPathToRecents(folder);
    {
        PLYPrepViewController sheet;
        sheet.open();
        auto* menu = child<QMenu>(&sheet, "recentDirectoriesMenu");
        ASSERT_TRUE(menu);
        emit menu->aboutToShow();
        QStringList recents;
        for (QAction* action : menu->actions()) recents << shownAsMnemonic(action->text());
        read("recent folders menu", recents.contains(folder) ? folder : recents.join(" | "), folder);
        ASSERT_TRUE(sheet.setRecentDirectoryAction(folder));
        read("new post folder name", shownBy(child<QLabel>(&sheet, "directoryNameLabel")), QFileInfo(folder).fileName());
        auto* path = child<QLabel>(&sheet, "directoryLabel");
        read("new post folder path", shownBy(path), PLYPrepViewController::directoryLabelText(QUrl::fromLocalFile(folder)));
        read("new post folder tooltip", shownAsToolTip(path->toolTip()), folder);
        sheet.reject();
    }
    for (const char* key : {PLYRecentContainer::kRecentDirectories, PLYRecentContainer::kRecentBookmarks})
        PLYUserDefaults::standardUserDefaults().removeObjectForKey(QLatin1String(key));

    // The gallery, once the watched folder is gone: its path as it is spelled.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    auto* located = main->findChild<QLabel*>("imageErrorInfoLabel");
    ASSERT_TRUE(located);
    ASSERT_TRUE(waitUntil([&] { return located->isVisibleTo(main) && !located->text().isEmpty(); }));
    read("gallery folder not found", shownBy(located), QStringLiteral("%1 cannot be located").arg(folder));

    for (const Reading& reading : readings) {
        if (reading.mayBeElided && reading.shown != reading.expected) {
            ASSERT_TRUE(reading.shown.endsWith(QChar(0x2026))) << reading.place.toStdString() << ": " << reading.shown.toStdString();
            EXPECT_TRUE(reading.expected.startsWith(reading.shown.chopped(1)))
                << reading.place.toStdString() << " shows " << reading.shown.toStdString();
            continue;
        }
        EXPECT_EQ(reading.shown.toStdString(), reading.expected.toStdString()) << reading.place.toStdString();
    }
    const auto desktop = std::dynamic_pointer_cast<PLYScriptedDesktopServices>(PLYDesktopServices::shared());
    ASSERT_TRUE(desktop);
    EXPECT_TRUE(desktop->openedURLs().isEmpty()) << "nothing was opened";
}

INSTANTIATE_TEST_SUITE_P(HostileStrings, ShownText,
                         ::testing::Values(QStringLiteral("<b>x</b>"),
                                           QStringLiteral("<a href=\"https://example.invalid\">y</a>"),
                                           QStringLiteral("<img src=\"file:///etc/hostname\">"),
                                           QStringLiteral("&amp;"),
                                           QStringLiteral("Salt & Pepper"),
                                           QStringLiteral("<h1>Big</h1> [*] & more")),
                         [](const ::testing::TestParamInfo<QString>& info) {
                             return "String" + std::to_string(info.index);
                         });

}  // namespace

#endif
