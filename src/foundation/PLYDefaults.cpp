#include "PLYDefaults.h"

#include "PLYUserDefaults.h"

#include <QDir>
#include <QStandardPaths>

namespace {
PLYUserDefaults& ud() { return PLYUserDefaults::standardUserDefaults(); }
QString k(const char* key) { return QString::fromLatin1(key); }
}  // namespace

QString PLYDefaults::applicationSupportDirectory() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString path = QDir(base).filePath(QStringLiteral("Pellory"));
    QDir().mkpath(path);
    return path;
}

QUrl PLYDefaults::supportURLForPath(const QString& path) {
    QUrl url(QStringLiteral("https://%1.%2").arg(QStringLiteral("help"), QStringLiteral(PELLORY_SERVICE_DOMAIN)));
    QString p = path;
    while (p.startsWith(QLatin1Char('/'))) p.remove(0, 1);
    url.setPath(QLatin1Char('/') + p);
    return url;
}

QString PLYDefaults::defaultTextBlockEmptyText() { return QStringLiteral("Write Something..."); }

double PLYDefaults::defaultPadding() { return ud().doubleForKey(k(kDefaultPadding), 10.0); }
void PLYDefaults::setDefaultPadding(double padding) { ud().setDouble(padding, k(kDefaultPadding)); }

QColor PLYDefaults::defaultBackgroundColour() {
    const QColor c(ud().stringForKey(k(kDefaultBackgroundColour)));
    return c.isValid() ? c : QColor(Qt::white);
}
void PLYDefaults::setDefaultColour(const QColor& colour) {
    if (!colour.isValid()) {
        ud().removeObjectForKey(k(kDefaultBackgroundColour));
        return;
    }
    ud().setString(colour.name(colour.alpha() == 255 ? QColor::HexRgb : QColor::HexArgb), k(kDefaultBackgroundColour));
}

bool PLYDefaults::defaultIncludeSubfolders() { return ud().boolForKey(k(kIncludeSubFolders), false); }
void PLYDefaults::setDefaultIncludeSubfolders(bool include) { ud().setBool(include, k(kIncludeSubFolders)); }

bool PLYDefaults::shouldSupressRPC() { return ud().boolForKey(k(kSupressRPC), false); }
void PLYDefaults::setShouldSupressRPC(bool supress) { ud().setBool(supress, k(kSupressRPC)); }

qint64 PLYDefaults::sortType() { return ud().integerForKey(k(kSortType), 0); }
void PLYDefaults::setSortType(qint64 type) { ud().setInteger(type, k(kSortType)); }
qint64 PLYDefaults::sortOrder() { return ud().integerForKey(k(kSortOrder), 0); }
void PLYDefaults::setSortOrder(qint64 order) { ud().setInteger(order, k(kSortOrder)); }

void PLYDefaults::setStarFilterValue(qint64 value) { ud().setInteger(value, k(kStarFilterValue)); }
void PLYDefaults::setStarFilterComparator(qint64 comparator) { ud().setInteger(comparator, k(kStarFilterComparator)); }
void PLYDefaults::setColourFilterValue(qint64 value) { ud().setInteger(value, k(kColourFilterValue)); }

bool PLYDefaults::shouldSplitUsedImages() { return ud().boolForKey(k(kSplitUsedImages), false); }
void PLYDefaults::setShouldSplitusedImages(bool split) { ud().setBool(split, k(kSplitUsedImages)); }

bool PLYDefaults::shouldShowHiddenImages() { return ud().boolForKey(k(kShowHiddenImages), false); }
void PLYDefaults::setShouldShowHiddenImages(bool show) { ud().setBool(show, k(kShowHiddenImages)); }

bool PLYDefaults::shouldAutoAddNewImages() { return ud().boolForKey(k(kAutoAddImages), false); }
void PLYDefaults::setShouldAutoAddNewImages(bool autoAdd) { ud().setBool(autoAdd, k(kAutoAddImages)); }

bool PLYDefaults::shouldSupressImageItemDelete() { return ud().boolForKey(k(kSupressImageDelete), false); }
void PLYDefaults::setSupressImageDataDelete(bool supress) { ud().setBool(supress, k(kSupressImageDelete)); }

qint64 PLYDefaults::homeSortType() { return ud().integerForKey(k(kHomeSortType), 1); }
void PLYDefaults::setHomeSortType(qint64 type) { ud().setInteger(type, k(kHomeSortType)); }
qint64 PLYDefaults::homeSortOrder() { return ud().integerForKey(k(kHomeSortOrder), 0); }
void PLYDefaults::setHomeSortOrder(qint64 order) { ud().setInteger(order, k(kHomeSortOrder)); }

qint64 PLYDefaults::onBoardPresentationState() { return ud().integerForKey(k(kOnBoardPresentation), 0); }
void PLYDefaults::setOnBoardPresentationState(qint64 state) { ud().setInteger(state, k(kOnBoardPresentation)); }

QString PLYDefaults::ascendingTitleForType(qint64 type) {
    switch (type) {
    case 0: return QStringLiteral("Alphabetical Order");
    case 1: return QStringLiteral("Oldest to Newest");
    case 2: return QStringLiteral("Least Recent to Most Recent");
    default: return {};
    }
}

QString PLYDefaults::descendingTitleForType(qint64 type) {
    switch (type) {
    case 0: return QStringLiteral("Reverse Alphabetical Order");
    case 1: return QStringLiteral("Newest to Oldest");
    case 2: return QStringLiteral("Most Recent to Least Recent");
    default: return {};
    }
}
