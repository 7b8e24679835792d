// Start-up and shut-down of the program around its event loop.
#pragma once

// Everything the event loop needs, in order; the toolbox must be up.
void StartUp();
// Releases what StartUp made and writes the preferences back.
void ShutDown();
