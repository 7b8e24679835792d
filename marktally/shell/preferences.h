// The program's two preference values: the zoom, and where the window was.
#pragma once

void LoadZoom();
void SaveZoom();
// The window must exist at its default place.
void LoadWindowPlacement();
void SaveWindowPlacement();
