// The program's two preference values: the zoom, and where the window was.
#pragma once

void LoadZoom();
void SaveZoom();
// The window must exist at its default place.
void LoadWindowPlacement();
// The document window's place, or the empty frame's when no class is open.
void SaveWindowPlacement();
// Puts the empty frame where the last window was.
void LoadFramePlacement();
