#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// What one edit of the layout did, by identifiers and bytes only, so that it can be undone and
// redone exactly however long it is kept: the sections it touched (their serialised bytes before
// and after), the layout's own properties when it changed them, the blocks it took out and from
// where, the containers it dissolved, the blocks and containers it put in, and how image use
// counts moved.
struct PLYLayoutEdit {
    struct SectionState {
        QString sectionId;
        QByteArray before;
        QByteArray after;
    };
    struct Removal {
        QString blockId;
        QString sectionId;
        QString parentId;  // empty: the block sat directly in the section
        int index = -1;    // its slot in that list when it was taken out
        bool moved = false;  // taken out to be put in elsewhere by the same edit
    };
    struct Dissolution {
        QString containerId;
        QString sectionId;
        QString parentId;
        int index = -1;
        QString replacedById;  // the one remaining child that took its place; empty when it was empty
    };

    QList<SectionState> sections;
    // The layout's own properties (padding, background colour), serialised as a layout without
    // sections, before and after; present when the record takes them in.
    struct PropertiesState {
        QByteArray before;
        QByteArray after;
    };
    std::optional<PropertiesState> properties;
    QList<Removal> removed;
    QList<Dissolution> dissolved;
    QStringList inserted;           // blocks put in, in order (moved ones keep their identifier)
    QStringList createdContainers;  // containers the edit made to group or wrap blocks
    QHash<QString, qint64> useCountChanges;  // image identifier -> change of its use count

    // Whether the layout's bytes differ after the edit.
    bool changed() const {
        if (properties && properties->before != properties->after) return true;
        for (const SectionState& s : sections)
            if (s.before != s.after)
                return true;
        return false;
    }
};
