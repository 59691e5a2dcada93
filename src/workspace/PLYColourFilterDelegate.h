#pragma once

#include <QtGlobal>

class PLYColourFilterView;

// Hears of the colour filter's changes. Every operation is optional.
class PLYColourFilterDelegate {
public:
    virtual ~PLYColourFilterDelegate() = default;
    virtual void colourFilterSetFilterType(PLYColourFilterView* /*view*/, qint64 /*mask*/) {}
};
