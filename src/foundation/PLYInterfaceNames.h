#pragma once

// The names under which windows, panes and bundle resources are found. Scenes are registered
// with PLYStoryboard under a storyboard name and a scene identifier; images and other
// resources are looked up through PLYNamedImage.
namespace PLYInterfaceNames {

// Storyboards.
inline constexpr const char* MainStoryboard = "Main";
inline constexpr const char* LoginStoryboard = "Login";
inline constexpr const char* SettingsStoryboard = "Settings";

// Scenes of "Main".
inline constexpr const char* BaseWindowScene = "base";
inline constexpr const char* PostViewScene = "PLYPostViewController";
inline constexpr const char* AuthViewScene = "PLYAuthViewController";
inline constexpr const char* PrepViewScene = "PLYPrepViewController";
// Scenes of "Login".
inline constexpr const char* SignInWindowScene = "SignInWindow";
inline constexpr const char* EmailVerifyWindowScene = "EmailVerifyWindow";
// Scenes of "Settings".
inline constexpr const char* AccountInfoWindowScene = "AccountInfoWindow";
inline constexpr const char* PreferencesWindowScene = "PreferencesWindowController";
// The identifier is spelled this way in every place that loads it.
inline constexpr const char* WebServiceHostWindowScene = "PLYWebServiceHosstWindowController";

// Embedded panes whose identifiers the containers test.
inline constexpr const char* HomeViewSegue = "PLYHomeViewController";
inline constexpr const char* DocumentViewSegue = "DocumentViewController";
inline constexpr const char* PropertyViewSegue = "PropertyViewController";
inline constexpr const char* SeoViewSegue = "SeoViewController";
inline constexpr const char* PublishViewSegue = "PublishViewController";

// Item and header views.
inline constexpr const char* GalleryViewItem = "PLYGalleryViewItem";
inline constexpr const char* GalleryHeaderView = "PLYGalleryHeaderView";
inline constexpr const char* RecentCollectionViewItem = "PLYRecentCollectionViewItem";

// Named images.
inline constexpr const char* ImageBoltGreen = "bolt-green";
inline constexpr const char* ImageBoltGrey = "bolt-grey";
inline constexpr const char* ImageEmptyPost = "empty-post";
inline constexpr const char* ImageStarWhite = "star-white";
inline constexpr const char* ImageStarSelected = "star-selected";
inline constexpr const char* ImageStarDeselected = "star-deselected";
inline constexpr const char* ImageEqual = "Equal";
inline constexpr const char* ImageLessThan = "less-than";
inline constexpr const char* ImageGreaterThan = "greater-than";
inline constexpr const char* ImageToolbarButtonBackground = "toolbar-button-bg";
inline constexpr const char* ImageDocumentSwitcherArrow = "document-switcher-arrow";
inline constexpr const char* ImageGreenLight = "green-light";
inline constexpr const char* ImageRedLight = "red-light";
inline constexpr const char* ImageLightGreen = "light-green";
inline constexpr const char* ImageLightYellow = "light-yellow";
inline constexpr const char* ImageLightRed = "light-red";
inline constexpr const char* ImageBrokenImage = "broken-image";
// The main window's title-bar controls.
inline constexpr const char* ImageToolbarHome = "toolbar-home";
inline constexpr const char* ImageToolbarPosts = "toolbar-posts";
inline constexpr const char* ImageToolbarZoomOut = "toolbar-zoom-out";
inline constexpr const char* ImageToolbarZoomIn = "toolbar-zoom-in";
inline constexpr const char* ImageToolbarAddBlock = "toolbar-add-block";
inline constexpr const char* ImageToolbarGallery = "toolbar-gallery";
inline constexpr const char* ImageToolbarInspector = "toolbar-inspector";

// Other resources.
inline constexpr const char* ErrorMapResource = "error_map";       // of type "json"
inline constexpr const char* WordPressRPCVideo = "wp_rpc_example";  // of type "mp4"

}  // namespace PLYInterfaceNames
