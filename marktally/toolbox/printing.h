// Printing: one page format (scale, orientation, the printable page) and one job at a
// time on the desktop's printers or into a PDF file. A page of a job is a port whose
// local coordinates are points of the printable page at 100 %; what is drawn into it
// goes to paper as outlines and fills.
#pragma once

#include <cstdint>
#include <string>

#include "marktally/toolbox/qdtypes.h"
#include "marktally/toolbox/quickdraw.h"

enum : int16_t {
  kPMPortrait = 1,
  kPMLandscape = 2,
  kPMReversePortrait = 3,
  kPMReverseLandscape = 4,
};
enum : OSStatus {
  kPMCancel = 128,
  kPMNoDefaultPrinter = -30872,
  kPMGeneralError = -30870,
  kPMInvalidFileType = -30871,
};

// Scale in percent and orientation of the page format.
void PMSetScale(double scale);
double PMGetScale();
void PMSetOrientation(int16_t orientation);
int16_t PMGetOrientation();
// The printable page in points at the format's scale: top, left, bottom, right.
void PMGetAdjustedPageRect(double rect[4]);

// The dialogs; accepted is false when the teacher cancelled. The print dialog starts
// from every page and leaves the chosen range for the job.
OSStatus PMSessionPageSetupDialog(bool* accepted);
OSStatus PMSessionPrintDialog(bool* accepted);
void PMSessionDefaultPrintSettings();
// 1-based pages of the job; all pages is 1 to kPMPrintAllPages.
enum : uint32_t { kPMPrintAllPages = 0x7FFFFFFF };
void PMSetPageRange(uint32_t first, uint32_t last);
void PMGetPageRange(uint32_t* first, uint32_t* last);

OSStatus PMSessionBeginDocument();
// The page's port becomes current; drawing into it reaches the page.
OSStatus PMSessionBeginPage(GrafPtr* page);
OSStatus PMSessionEndPage();
OSStatus PMSessionEndDocument();
// Pages begun in the current or last job.
int PMPagesPrinted();

// Jobs go into this PDF file instead of a printer, and the dialogs answer as given
// without showing themselves; an empty path goes back to printers and dialogs.
void PMPrintToFile(const std::string& pdfPath);
void PMScriptDialogAnswers(bool accept);
// The scripted page setup dialog also leaves this scale and orientation in the format.
void PMScriptPageSetup(double scale, int16_t orientation);
// Back to printers, real dialogs and the default page format.
void PMResetForTesting();
