// The options of the multiple-class report: the school name and the sections shown.
#pragma once

// Runs dialog 147 over the merged classes' report options; returns when it is closed.
void DoMultipleDialog();
// Fill the dialog from the report and store it back.
void SetMultipleItems();
void GetMultipleItems();
