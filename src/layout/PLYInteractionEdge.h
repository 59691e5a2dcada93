#pragma once

#include <QtGlobal>
#include <optional>

// Edge codes of drop regions, a bit mask, and the decisions that follow from an edge.
struct PLYInteractionEdge {
    static constexpr qint64 Left = 1;
    static constexpr qint64 Right = 2;
    static constexpr qint64 Top = 4;
    static constexpr qint64 Bottom = 8;
    static constexpr qint64 SeamSideBySide = 16;  // between two side-by-side children of a container
    static constexpr qint64 SeamStacked = 32;     // between two stacked blocks
    static constexpr qint64 VerticalLines = 19;   // Left, Right, SeamSideBySide: the minor axis is y
    static constexpr qint64 HorizontalLines = 44; // Top, Bottom, SeamStacked: the minor axis is x
    static constexpr qint64 Seams = 48;

    static bool isVerticalLine(qint64 edge) { return (edge & VerticalLines) != 0; }
    static bool isHorizontalLine(qint64 edge) { return (edge & HorizontalLines) != 0; }

    // How the drag images are arranged over a zone whose active region has `edge`, before the
    // Command key flips it: side by side along a vertical line, else stacked.
    static bool forceOrientationVertical(qint64 edge) { return !isVerticalLine(edge); }

    // Several blocks whose arrangement crosses the drop line land grouped in a new container:
    // stacked along a vertical line, side by side along a horizontal one. Nothing when they
    // land as they are.
    static std::optional<bool> groupDirectionForDrop(qint64 edge, int blockCount, bool imagesOrientedVertical) {
        if (blockCount < 2)
            return std::nullopt;
        const bool crosses = imagesOrientedVertical ? isVerticalLine(edge) : isHorizontalLine(edge);
        if (!crosses)
            return std::nullopt;
        return isVerticalLine(edge);
    }

    // An empty section that takes the drop whole stacks the blocks, unless they are arranged
    // side by side: then they land in a new side-by-side container.
    static std::optional<bool> groupDirectionForSectionDrop(int blockCount, bool imagesOrientedVertical) {
        if (blockCount < 2 || imagesOrientedVertical)
            return std::nullopt;
        return false;
    }
};
