#include "marktally/shell/multiple_dialog.h"

// Placeholder until the multiple-class report options are built: the Report Options
// command of the multiple-class view does nothing yet.
void DoMultipleDialog() {}
