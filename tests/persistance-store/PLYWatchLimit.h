#pragma once

#include <QString>

#include <optional>

// The system's limit of watched folders is machine-wide; a test reaches it without touching the
// machine by running itself again in a user namespace of its own, whose limit it sets.
namespace PLYWatchLimit {

// Runs the calling test again, in a child process where at most `limit` folders can be watched,
// and checks that it passed. Nothing when this is that child (the test goes on); otherwise the
// test is done: an empty text when the child ran, or why it could not (to skip with).
std::optional<QString> rerunWithLimit(int limit);

}  // namespace PLYWatchLimit
