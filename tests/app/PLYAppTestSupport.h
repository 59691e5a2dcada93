#pragma once

#include "AppDelegate.h"
#include "PLYCoreManager.h"
#include "PLYExportManager.h"
#include "PLYImageManager.h"
#include "PLYLog.h"
#include "PLYMigrator.h"
#include "PLYNotificationCenter.h"
#include "PLYTestEnvironment.h"
#include "PLYUserDefaults.h"
#include "PLYVisualStateHandler.h"

#include <QDir>

#include <gtest/gtest.h>

// A delegate in a test: quiet loggers into the test's log folder, no signal handlers, the
// quit and the keyboard under the test's control, and a fresh library in a temporary folder.
class AppDelegateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        PLYMigrator::clearRegisteredSteps();
        PLYUserDefaults::standardUserDefaults().removeObjectForKey(QString::fromLatin1(PLYMigrator::kMigrationVersion));
        storeRoot = PLYTestEnvironment::makeTempDirectory(QStringLiteral("library"));
        PLYCoreManager::resetGlobalManager(storeRoot);
        PLYVisualStateHandler::resetGlobalHandler();
        logToken = PLYLog::addObserver([this](PLYLog::Level, const QString& line) {
            if (line.contains(QLatin1String("saving now"))) ++saves;
        });
        willSaveToken = PLYNotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(AppDelegate::WillSaveNotification), nullptr, [this](const PLYNotification&) {
                ++willSaves;
                savesAtWillSave = saves;
            });
    }

    void TearDown() override {
        delegate.reset();
        // The delegate shut the background workers down as the application does at quit.
        PLYImageManager::resetSharedManager();
        PLYExportManager::resetSharedManager();
        PLYLog::removeObserver(logToken);
        PLYNotificationCenter::defaultCenter().removeObserver(willSaveToken);
        PLYMigrator::clearRegisteredSteps();
        PLYCoreManager::resetGlobalManager();
    }

    AppDelegate::Options testOptions() {
        AppDelegate::Options options;
        options.log.systemLog = false;
        options.log.terminal = false;
        options.log.fileDirectory = PLYTestEnvironment::logDirectory();
        options.handleTerminationSignals = false;
        options.quit = [this] { ++quitRequests; };
        options.currentModifierFlags = [this] { return modifierFlags; };
        return options;
    }

    AppDelegate& make(AppDelegate::Options options) {
        delegate = std::make_unique<AppDelegate>(std::move(options));
        return *delegate;
    }
    AppDelegate& make() { return make(testOptions()); }

    // Start-up through to the main window, with nothing to migrate.
    AppDelegate& launch(AppDelegate::Options options) {
        AppDelegate& d = make(std::move(options));
        d.applicationWillFinishLaunching({QStringLiteral("pellory")});
        d.applicationDidFinishLaunching();
        EXPECT_TRUE(PLYTestEnvironment::waitUntil([&] { return d.baseWindowController() != nullptr; }));
        return d;
    }
    AppDelegate& launch() { return launch(testOptions()); }

    std::unique_ptr<AppDelegate> delegate;
    QString storeRoot;
    int saves = 0;
    int willSaves = 0;
    int savesAtWillSave = -1;
    int quitRequests = 0;
    quint64 modifierFlags = 0;
    int logToken = 0;
    PLYNotificationCenter::Token willSaveToken = 0;
};
