// The page composers of the report views and the sections that several reports share.
// Each draws one page into the current port, in page coordinates, afresh from the class.
#pragma once

#include <cstdint>

// Class reports.
void DrawGradesReport(int16_t page);
void DrawSummaryReport(int16_t page);
void DrawTotalsReport(int16_t page);
void DrawAttendReport(int16_t page);
void DrawClassHeader();
void DrawClassBreakdown(int y);
// A row of column titles, each where the layout puts it unless that would run it into
// the title before: then it moves right until a blank stands between them.
class TitleRow {
 public:
  explicit TitleRow(int y) : y_(y) {}
  void At(int left, const unsigned char* text);
  void At(int left, const char* text);
  void Centred(int centre, const unsigned char* text);

 private:
  static constexpr int kNone = -1000000;
  int y_;
  int right_ = kNone;
};
// Letter counters of the last breakdown drawn.
extern uint16_t gBreakdown[13];
void Breakdown(int16_t percent);
void DrawBreakdownGrid(int y);
void TotalScores(int16_t student, int32_t& points, int32_t& possible);
int16_t CatPct(int16_t student, int16_t category);

// Student reports.
void DrawStudentReport(int16_t page);
void DrawStudentSummary(int16_t student);
void DrawStudentAttendReport(int16_t student);
void DrawOneScore(int16_t student, int16_t column, int y);
void DrawOneDate(uint32_t date, int x, int y);
void DrawStudentCategories(int16_t student, int y);
void DrawSignatureLine();
int16_t GetCategoryWeight(int16_t category);
// What the attendance penalty takes off the student's grade of the term, in tenths of a
// percent (0 when the penalty is off).
int32_t AttendanceDeduction(int16_t student, int term);
// The comment text of one student: header, comment and footer of the current term.
extern char gCommentsBuffer[1024];
extern int16_t gCommentsLength;
void CombineComments(int16_t student);

// Assignment and missing-work reports.
void DrawAssignmentReport(int16_t page);
void DrawMissingReport(int16_t page);
void GetStatistics(int16_t column, int32_t& mean, int32_t& median, int32_t& deviation);

// The multiple-class report (view 12): page = merged student x pages per student + kind.
void DrawMultipleClassReport(int16_t page);
void DrawMultipleHeader(int16_t student);
void DrawMultipleGrades(int16_t student);
void DrawMultipleAttend(int16_t student);
void DrawMultipleMissing(int16_t student);
void DrawMultipleAssigns(int16_t student);
void DrawMultipleComments(int16_t student);
void DrawMultipleTermGrade(int16_t student, int16_t subject, int16_t term, int x, int y);
void DrawMultipleSemesterGrade(int16_t student, int16_t subject, int x, int y);
void DrawMultipleYearGrade(int16_t student, int16_t subject, int x, int y);
void DrawMultipleTermAttend(int16_t student, int16_t subject, int16_t term, int x, int y);
void DrawMultipleSemesterAttend(int16_t student, int16_t subject, int x, int y);
void DrawMultipleYearAttend(int16_t student, int16_t subject, int x, int y);
