// The program's alerts: every alert the model or the shell asks for (ShowModelAlert)
// is a standard alert of its kind with the parameter block of its buttons, shown after
// the arrow cursor is set.
#pragma once

#include "marktally/model/platform.h"

// Makes RunAlert the model's alert sink; SetupFilters must have run.
void InstallAlertSink();
// The button hit, from 1.
int16_t RunAlert(const AlertRequest& request);
