// The program's desktop toolbox over Qt 6. Include this one header.
//
// `InitToolbox` comes first: it starts the Qt application, loads the fonts, installs
// the font measure behind the model's `StringWidth`, makes the program's frame and
// queues the high-level event of the command line. It fails, with a message on
// stderr, when no display can be reached.
#pragma once

#include "marktally/toolbox/alerts.h"
#include "marktally/toolbox/controls.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/dialogs.h"
#include "marktally/toolbox/events.h"
#include "marktally/toolbox/keychain.h"
#include "marktally/common/macroman.h"
#include "marktally/toolbox/menus.h"
#include "marktally/toolbox/navigation.h"
#include "marktally/toolbox/qdtypes.h"
#include "marktally/toolbox/quickdraw.h"
#include "marktally/toolbox/textedit.h"
#include "marktally/toolbox/windows.h"

// argc and argv must outlive the toolbox (those of main do).
bool InitToolbox(int& argc, char** argv);
