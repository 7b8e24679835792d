// A class that shows every section of the HTML student reports: four terms, weighted
// categories with extra credit and a term exam, letter grades, a dropped score, a
// footnote, attendance codes on school days, report header, comment and footer, and the
// IDs column. hostile() fills every typed text with quotes, angle brackets, addresses and
// Mac Roman letters instead.
#pragma once

#include <string>

#include "marktally/model/dates.h"
#include "marktally/model/grading.h"
#include "marktally/model/tables.h"
#include "marktally/reports/html_report.h"
#include "tests/reports/reports_fixture.h"

// The texts typed into the class: plain, or an injection corpus.
struct HtmlTexts {
  std::string school = "Lakeside High";
  std::string subject = "Algebra & Geometry";
  std::string teacher = "Ms. Rivera";
  std::string category = "Quizzes";
  std::string assignment = "Quiz 1/2";
  std::string footnote = "See www.ex.org/a.";
  std::string code = "Abs";
  std::string header = "Progress for the term \xD0 ask at office@example.org.";
  std::string comment = "Works hard \xD1 \"great\" <improving>.";
  std::string footer = "Grades \xB3 90% earn an A.";
  std::string term = "Q1";
  std::string special = "Late";
};


class HtmlTest : public ExchangeTest {
 protected:
  void SetUp() override {
    ExchangeTest::SetUp();
    gShowStudentName = 0;
  }
  void TearDown() override {
    gShowStudentName = 0;
    ExchangeTest::TearDown();
  }

  static HtmlTexts Hostile() {
    HtmlTexts t;
    t.school = "<script>alert(1)</script>\" onload=\"x";
    t.subject = "Math <b>bold</b> & 'quotes' \"dq\"";
    t.teacher = "</td></tr></table><img src=x onerror=alert(1)>";
    t.category = "<i>cat</i>";
    t.assignment = "www.a.com/\"onmouseover=\"alert(1)<b>\x8E</b>";
    t.footnote = "http://x.org/?q=\"><script>alert(2)</script> done";
    t.code = "<b>";
    t.header = "mail me at a\"<b>@ex.com or evil@\"><i>x.com now";
    // Control bytes as an old document or an import can bring them.
    t.comment = "see http://e.com/\xC7\"\x3E\x3Cscript\x3E and www.<svg/onload=alert(3)>.org"
                "\x01\x1B" "\x7F end";
    t.footer = "</body><iframe src=http://evil.example/>";
    t.term = "<u>";
    t.special = "<x>";
    return t;
  }

  // Fills the open class; answers the student with the richest report.
  int16_t BuildClass(const HtmlTexts& x = HtmlTexts{}) {
    const int t = gCurrentTerm;
    gClass.school.setC(x.school.c_str());
    gClass.subject.setC(x.subject.c_str());
    gClass.teacher.setC(x.teacher.c_str());
    gClass.flags = static_cast<uint8_t>(kLetterGrades | kShowIDs | kShowNames);
    gClass.examWeight = 200;
    gClass.examScope = 1;
    gTermNames[t].setC(x.term.c_str());
    gGrading[t] = 1;
    gReportOptions = 0x0001 | 0x0002 | 0x0020 | 0x0040 | 0x0080 | 0x1000;
    gCategories[t][1].name.setC(x.category.c_str());
    gCategories[t][1].weight = 60;
    gCategories[t][1].drop = 1;
    gCategories[t][2].name.setC("Homework");
    gCategories[t][2].weight = 40;
    gCategories[t][kExtraCreditCategory].name.setC("Extra");
    gCategories[t][kExamCategory].name.setC("Exam");
    gSpecialScores[0].name.setC(x.special.c_str());
    gSpecialScores[0].kind = 2;
    gCodes[0].name.setC(x.code.c_str());
    gFootnoteText[0].setC(x.footnote.c_str());
    gHeader[t].setC(x.header.c_str());
    gFooter[t].setC(x.footer.c_str());
    const int16_t a0 = AddAssignment(x.assignment.c_str(), 1, 20);
    const int16_t a1 = AddAssignment("Test 1", 1, 100);
    const int16_t a2 = AddAssignment("HW 1", 2, 10);
    const int16_t a3 = AddAssignment("HW 2", 2, 10);
    const int16_t a4 = AddAssignment("Bonus", kExtraCreditCategory, 5);
    const int16_t a5 = AddAssignment("Final", kExamCategory, 50);
    const uint32_t start = gTermDates[t].start;
    for (int16_t a : {a0, a1, a2, a3, a4, a5})
      gAssignDates[t][a] = start + 86400u * static_cast<uint32_t>(7 * (a + 1));
    const int16_t s0 = AddStudent("Garcia, Ana", "1042");
    const int16_t s1 = AddStudent("Lee, Sam", "7");
    SetScore(s0, a0, 180);
    SetScore(s0, a1, 875);
    SetScore(s0, a2, 100);
    SetScore(s0, a3, kFirstSpecial);
    SetScore(s0, a4, 30);
    SetScore(s0, a5, 410);
    SetScore(s1, a0, kBlank);
    SetScore(s1, a1, 640);
    SetScore(s1, a2, 50);
    SetScore(s1, a3, 90);
    gFootnotes[s0][t][a0] = 0;
    gComments[s0][t].setC(x.comment.c_str());
    const int d0 = static_cast<int>((gTermDates[t].start - gTermDates[0].start) / 86400);
    for (int d : {d0 + 1, d0 + 2, d0 + 8, d0 + 9, d0 + 15, d0 + 16, d0 + 22, d0 + 23, d0 + 29})
      gAttendance[s0][d] = 0;
    gAttendance[s0][d0 + 3] = 1;
    UpdateAttendance();
    FlushAll();
    return s0;
  }
};
