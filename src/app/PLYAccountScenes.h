#pragma once

// The scenes of the account windows: the login view of "Main", the sign-in prompt and the
// e-mail verification window of "Login", and the account-details wizard, preferences and
// service host panel of "Settings".
namespace PLYAccountScenes {

// Registers each of them that is not registered yet (a test's own scene stays).
void registerMissingScenes();

}  // namespace PLYAccountScenes
