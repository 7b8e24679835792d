// The shell's answers to what the report code asks (reports/report_host.h): the window's
// page context, its progress windows and the document window.
#pragma once

#include "marktally/reports/report_host.h"

// The context of the view shown, at the window's zoom and fonts.
PageContext WindowPage();
// Hands the reports the shell's answers; calling it again changes nothing.
void InstallReportHost();
