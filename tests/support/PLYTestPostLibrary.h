#pragma once

#include "PLYImageManager.h"
#include "PLYPersistantAccount.h"
#include "PLYPersistantPost.h"
#include "PLYPersistantStore.h"
#include "PLYSourceDirectory.h"
#include "PLYTestEnvironment.h"

#include <gtest/gtest.h>

#include <memory>

// A fresh library whose signed-in user has one new post, a fresh image cache, folders that
// notice changes quickly, and an empty folder for the test's photos.
class PLYPostLibraryTest : public ::testing::Test {
protected:
    void setUpLibrary(const QString& postTitle) {
        PLYSourceDirectory::setDefaultLatencyMs(50);
        PLYImageManager::resetSharedManager(PLYTestEnvironment::makeTempDirectory(QStringLiteral("cache")));
        store = PLYPersistantStore::create(PLYTestEnvironment::makeTempDirectory(QStringLiteral("library")));
        store->setUp(false);
        post = store->signInUser(QStringLiteral("a@b.c"))->createNewPost(postTitle);
        folder = PLYTestEnvironment::makeTempDirectory(QStringLiteral("photos"));
    }

    std::shared_ptr<PLYPersistantStore> store;
    std::shared_ptr<PLYPersistantPost> post;
    QString folder;
};
