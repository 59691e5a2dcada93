#include "PLYPostWindowFactory.h"

#include "PLYGalleryViewController.h"
#include "PLYInspectorViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYLayoutViewController.h"
#include "PLYPostViewController.h"
#include "PLYPrepViewController.h"
#include "PLYStoryboard.h"

PLYPostViewController* PLYPostWindowFactory::makePostViewController(QWidget* parent) {
    auto* window = new PLYPostViewController(parent);
    auto* gallery = new PLYGalleryViewController;
    auto* layout = new PLYLayoutViewController;
    auto* inspector = new PLYInspectorViewController;
    window->setPanes(PLYPostWindowPane::of(gallery), PLYPostWindowLayoutPane::of(layout), PLYPostWindowPane::of(inspector));
    return window;
}

void PLYPostWindowFactory::registerMissingScenes() {
    using namespace PLYInterfaceNames;
    const auto add = [](const char* identifier, PLYStoryboard::Factory factory) {
        const QString storyboard = QString::fromLatin1(MainStoryboard);
        if (!PLYStoryboard::hasScene(storyboard, QString::fromLatin1(identifier)))
            PLYStoryboard::registerScene(storyboard, QString::fromLatin1(identifier), std::move(factory));
    };
    add(PostViewScene, [](QWidget* parent) { return makePostViewController(parent); });
    add(PrepViewScene, [](QWidget* parent) { return new PLYPrepViewController(parent); });
}
