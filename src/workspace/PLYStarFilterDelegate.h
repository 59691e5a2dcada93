#pragma once

#include <QtGlobal>

class PLYStarFilterView;

// Hears of the star filter's changes. Every operation is optional.
class PLYStarFilterDelegate {
public:
    virtual ~PLYStarFilterDelegate() = default;
    virtual void starFilterSetFilterSelection(PLYStarFilterView* /*view*/, qint64 /*selection*/) {}
    virtual void starFilterSetComparatorValue(PLYStarFilterView* /*view*/, qint64 /*comparator*/) {}
};
