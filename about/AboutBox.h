#pragma once

// Runs the About box modally, owned by the active window. Used by the
// viewer's About button; returns when the box is closed.
void RunAboutBox();
