// How many pages each report view has at the page context's page size, zoom and options,
// which student or assignment a page shows, and the one entry that draws a page.
#pragma once

#include <cstdint>
#include <vector>

// Caches of the last counts computed while no job printed.
extern int16_t gPagesPerClass;
extern int16_t gPagesPerStu;
extern int16_t gPagesPerAss;
extern int16_t gCatsPerPage;
extern int16_t gCatsAcross;

// Rows of a page: class views and student scores, and the assignment report. Never
// below one, so that tiny pages still divide.
int ClassRowsPerPage();
int AssignmentRowsPerPage();

int16_t PagesPerClass();
int16_t PagesPerSummary();
int16_t PagesPerStudent();
int16_t PagesPerAttendance();
int16_t PagesPerAssignment();
int16_t PagesPerMissing();
// Pages of one merged student of the multiple-class report.
int16_t PagesPerMultiple();

// The whole report of the view shown (0 for a class view without students) and the
// same floored at one page, which the window treats as the report's extent.
int ReportPageCount();
int MaxReportPages();

// Lines that the closing sections of a student scores page take: the page count
// reserves them and the drawing places them, by this one rule.
int StudentTrailerLines();

// The missing-work layout: for each listed student slot its page and the y its block
// starts at. The count and the drawing walk the same list.
struct MissingBlock {
  int16_t student;
  int page;
  int y;
};
std::vector<MissingBlock> MissingLayout();

// The index of the n-th (0-based) named assignment column of the current term, or n
// itself when there are fewer.
int NamedAssignment(int n);

// Draws page `page` (from 0) of the view shown into the current port; a page below 0
// draws nothing.
void DrawReport(int16_t page);
