#pragma once

#include <QColor>
#include <QString>
#include <QUrl>

// The application's preference keys with their defaults, over the standard user defaults.
class PLYDefaults {
public:
    // The application's own folder in the user's data folder, created when missing.
    static QString applicationSupportDirectory();
    // A page of the help site, "https://help.<service domain>/<path>".
    static QUrl supportURLForPath(const QString& path);

    static QString defaultTextBlockEmptyText();

    static double defaultPadding();
    static void setDefaultPadding(double padding);

    static QColor defaultBackgroundColour();
    static void setDefaultColour(const QColor& colour);

    static bool defaultIncludeSubfolders();
    static void setDefaultIncludeSubfolders(bool include);

    static bool shouldSupressRPC();
    static void setShouldSupressRPC(bool supress);

    static qint64 sortType();
    static void setSortType(qint64 type);
    static qint64 sortOrder();
    static void setSortOrder(qint64 order);

    // Written only: the gallery restores its filters from its own controls.
    static void setStarFilterValue(qint64 value);
    static void setStarFilterComparator(qint64 comparator);
    static void setColourFilterValue(qint64 value);

    static bool shouldSplitUsedImages();
    static void setShouldSplitusedImages(bool split);

    static bool shouldShowHiddenImages();
    static void setShouldShowHiddenImages(bool show);

    static bool shouldAutoAddNewImages();
    static void setShouldAutoAddNewImages(bool autoAdd);

    static bool shouldSupressImageItemDelete();
    static void setSupressImageDataDelete(bool supress);

    static qint64 homeSortType();
    static void setHomeSortType(qint64 type);
    static qint64 homeSortOrder();
    static void setHomeSortOrder(qint64 order);

    static qint64 onBoardPresentationState();
    static void setOnBoardPresentationState(qint64 state);

    // Menu titles of a sort type; a null string for an unknown type.
    static QString ascendingTitleForType(qint64 type);
    static QString descendingTitleForType(qint64 type);

    // Keys, spelled as stored.
    static constexpr const char* kDefaultPadding = "def_padding";
    static constexpr const char* kDefaultBackgroundColour = "def_bg_col";
    static constexpr const char* kIncludeSubFolders = "include_sub_folders";
    static constexpr const char* kSupressRPC = "sup_rpc";
    static constexpr const char* kSortType = "gall_sort_type";
    static constexpr const char* kSortOrder = "gall_sort_order";
    static constexpr const char* kStarFilterValue = "gall_star_value";
    static constexpr const char* kStarFilterComparator = "gall_star_comp";
    static constexpr const char* kColourFilterValue = "gall_colour_value";
    static constexpr const char* kSplitUsedImages = "split_used_images";
    static constexpr const char* kShowHiddenImages = "show_hidden_images";
    static constexpr const char* kAutoAddImages = "auto_add_images";
    static constexpr const char* kSupressImageDelete = "sup_img_del";
    static constexpr const char* kHomeSortType = "gall_home_sort_type";
    static constexpr const char* kHomeSortOrder = "gall_home_sort_order";
    static constexpr const char* kOnBoardPresentation = "presented_onboard";
};
