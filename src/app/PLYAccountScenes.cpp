#include "PLYAccountScenes.h"

#include "PLYAccountInfoViewController.h"
#include "PLYAuthViewController.h"
#include "PLYEmailVerificationViewController.h"
#include "PLYInterfaceNames.h"
#include "PLYPreferencesWindowController.h"
#include "PLYSignInViewController.h"
#include "PLYStoryboard.h"
#include "PLYWebServiceHostViewController.h"

namespace PLYAccountScenes {

void registerMissingScenes() {
    using namespace PLYInterfaceNames;
    const auto add = [](const char* storyboard, const char* identifier, PLYStoryboard::Factory factory) {
        if (!PLYStoryboard::hasScene(QString::fromLatin1(storyboard), QString::fromLatin1(identifier)))
            PLYStoryboard::registerScene(QString::fromLatin1(storyboard), QString::fromLatin1(identifier), std::move(factory));
    };
    add(MainStoryboard, AuthViewScene, [](QWidget* parent) { return new PLYAuthViewController(parent); });
    add(LoginStoryboard, SignInWindowScene, [](QWidget* parent) { return new PLYSignInViewController(parent); });
    add(LoginStoryboard, EmailVerifyWindowScene, [](QWidget* parent) { return new PLYEmailVerificationViewController(parent); });
    add(SettingsStoryboard, AccountInfoWindowScene, [](QWidget* parent) { return new PLYAccountInfoViewController(parent); });
    add(SettingsStoryboard, PreferencesWindowScene, [](QWidget* parent) { return new PLYPreferencesWindowController(parent); });
    add(SettingsStoryboard, WebServiceHostWindowScene, [](QWidget* parent) { return new PLYWebServiceHostViewController(parent); });
}

}  // namespace PLYAccountScenes
