#pragma once

// The editor's part of start-up: the views of the layout create their interaction handlers
// through PLYInteractionHandlerFactory, and these are the makers the editor gives it.
namespace PLYLayoutInteraction {
// Registers the block handler makers (image, blank, text) and the stacked section handler.
// Registering again is harmless.
void registerInteractionHandlers();
}  // namespace PLYLayoutInteraction
