#pragma once

#include <QString>
#include <functional>
#include <memory>

class PLYPersistantStore;

// One migration step, named after the version it brings the library to
// (PLYMigratorVersion_2_1_6 and so on, under versions/).
class PLYMigratorVersion {
public:
    using Completion = std::function<void(bool success, bool relaunchAfterLogin)>;
    virtual ~PLYMigratorVersion() = default;
    // Dotted version, compared part by part ("2.1.6").
    virtual QString version() const = 0;
    // Works on the migration's own store and calls `done` (on any thread) when finished.
    virtual void migrate(const std::shared_ptr<PLYPersistantStore>& store, Completion done) = 0;
};
