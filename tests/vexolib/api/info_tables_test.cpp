// The twelve information tables through the exports: every column read back with the
// defaults of absent fields, the rows kept by every failure that comes before the service's
// row count, a table emptied (never half filled) by an answer that lacks a row it announced,
// and cells outside the rows read as null or 0.
#include <climits>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "interface_fixture.h"

namespace vexotest {
namespace {

typedef std::vector<std::string> Texts;

// A column read through its exported getter, rows 0 .. count - 1; flags as "0" or "1".
struct ColumnGetter {
  const char* name;
  const char* (*text)(int);
  int (*flag)(int);
};

struct TableCase {
  const char* name;
  std::function<int()> retrieve;
  int (*count)(void);
  std::vector<std::pair<ColumnGetter, Texts>> columns;
};

ColumnGetter T(const char* name, const char* (*getter)(int)) { return {name, getter, nullptr}; }
ColumnGetter F(const char* name, int (*getter)(int)) { return {name, nullptr, getter}; }

Texts readColumn(const ColumnGetter& column, int count) {
  Texts cells;
  for (int row = 0; row < count; ++row) {
    if (column.text) {
      const char* cell = column.text(row);
      cells.push_back(cell ? cell : "(null)");
    } else {
      cells.push_back(std::to_string(column.flag(row)));
    }
  }
  return cells;
}

// Every cell of the column outside 0 .. count - 1 reads as null or 0.
bool outsideIsEmpty(const ColumnGetter& column, int count) {
  for (const int row : {-1, count, count + 1, INT_MAX, INT_MIN}) {
    if (column.text ? column.text(row) != nullptr : column.flag(row) != 0) {
      return false;
    }
  }
  return true;
}

std::vector<TableCase> everyTable() {
  return {
      {"taught classes", vexo25_retrieveTaughtClassesInfo, vexo25_getTaughtClassesCount,
       {{T("ID", vexo25_getTaughtClassID), {"17", "18"}},
        {T("Title", vexo25_getTaughtClassTitle), {"Algebra", "Biology"}},
        {T("PeriodID", vexo25_getTaughtClassPeriodID), {"", "3"}}}},
      {"gradebooks", vexo25_retrieveGradebookInfo, vexo25_getGradebookCount,
       {{T("ClassID", vexo25_getGradebookClassID), {"17", "19"}},
        {T("ClassTitle", vexo25_getGradebookClassTitle), {"Algebra", "Geometry"}},
        {T("Filename", vexo25_getGradebookFilename), {"algebra.mtb", "geometry.mtb"}},
        {F("IsActiveForExport", vexo25_getGradebookIsActiveForExport), {"1", "1"}},
        {F("IsActiveForReport", vexo25_getGradebookIsActiveForReport), {"0", "1"}},
        {T("PeriodID", vexo25_getGradebookPeriodID), {"3", ""}},
        {T("EditMode", vexo25_getGradebookEditMode), {"", "read"}}}},
      {"teachers and classes", vexo25_retrieveCoreGroupTeachersAndClasses,
       vexo25_getCoreGroupTeachersAndClassesCount,
       {{T("TeacherID", vexo25_getCoreGroupTeachersAndClassesTeacherID), {"t1", "t2"}},
        {T("TeacherName", vexo25_getCoreGroupTeachersAndClassesTeacherName),
         {"Ms. Teacher", "Mr. Other"}},
        {T("ClassID", vexo25_getCoreGroupTeachersAndClassesClassID), {"17", "18"}},
        {T("ClassTitle", vexo25_getCoreGroupTeachersAndClassesClassTitle),
         {"Algebra", "Biology"}},
        {T("PeriodID", vexo25_getCoreGroupTeachersAndClassesPeriodID), {"3", ""}}}},
      {"teachers and gradebooks", vexo25_retrieveCoreGroupTeachersAndGradebooks,
       vexo25_getCoreGroupTeachersAndGradebooksCount,
       {{T("TeacherID", vexo25_getCoreGroupTeachersAndGradebooksTeacherID), {"t1", "t2"}},
        {T("TeacherName", vexo25_getCoreGroupTeachersAndGradebooksTeacherName),
         {"Ms. Teacher", "Mr. Other"}},
        {T("ClassID", vexo25_getCoreGroupTeachersAndGradebooksClassID), {"17", "18"}},
        {T("ClassTitle", vexo25_getCoreGroupTeachersAndGradebooksClassTitle),
         {"Algebra", "Biology"}},
        {T("Filename", vexo25_getCoreGroupTeachersAndGradebooksFilename),
         {"algebra.mtb", "biology.mtb"}},
        {F("IsActiveForExport", vexo25_getCoreGroupTeachersAndGradebooksIsActiveForExport),
         {"1", "0"}},
        // "TRUE" is no flag of the protocol.
        {F("IsActiveForReport", vexo25_getCoreGroupTeachersAndGradebooksIsActiveForReport),
         {"1", "0"}},
        {T("PeriodID", vexo25_getCoreGroupTeachersAndGradebooksPeriodID), {"3", ""}},
        {T("EditMode", vexo25_getCoreGroupTeachersAndGradebooksEditMode), {"full", ""}}}},
      {"roster", [] { return vexo25_retrieveRosterUserInfo("17"); },
       vexo25_getRosterUserInfoCount,
       {{T("FirstName", vexo25_getRosterUserInfoFirstName), {"Ann", "Bo", "Cy"}},
        {T("LastName", vexo25_getRosterUserInfoLastName), {"Lee", "Kim", "Teach"}},
        {T("UserID", vexo25_getRosterUserInfoUserID), {"s1", "s2", "t1"}},
        {T("ScreenName", vexo25_getRosterUserInfoScreenName), {"alee", "bkim", "teacher1"}},
        {F("IsTeacher", vexo25_getRosterUserInfoIsTeacher), {"0", "0", "1"}}}},
      {"core groups", [] { return vexo25_retrieveCoreGroupsInfo(1); },
       vexo25_getCoreGroupInfoCount,
       {{T("Title", vexo25_getCoreGroupInfoTitle),
         {"North High", "South High", "Lake District", "Summer School"}},
        {T("Entid", vexo25_getCoreGroupInfoEntid), {"5", "6", "1", "9"}},
        {T("Alias", vexo25_getCoreGroupInfoAlias), {"north", "south", "district", "summer"}},
        {T("LegacyID", vexo25_getCoreGroupInfoLegacyID), {"N-01", "", "", ""}},
        {F("IsDistrict", vexo25_getCoreGroupInfoIsDistrict), {"0", "0", "1", "1"}}}},
      {"schools", vexo25_retrieveDistrictSchoolsInfo, vexo25_getDistrictSchoolsInfoCount,
       {{T("Alias", vexo25_getDistrictSchoolsInfoAlias), {"north", "south"}},
        {T("Title", vexo25_getDistrictSchoolsInfoTitle), {"North High", "South High"}},
        {T("Entid", vexo25_getDistrictSchoolsInfoEntid), {"5", "6"}},
        {T("SchoolID", vexo25_getDistrictSchoolsInfoSchoolID), {"NH", "SH"}}}},
      {"teacher's forms", vexo25_retrieveGradedFormListForTeacherInfo,
       vexo25_getGradedFormListForTeacherFormCount,
       {{T("Entid", vexo25_getGradedFormListForTeacherFormEntid), {"F-100", "F-101", "F-200"}},
        {T("GradingLastModDate", vexo25_getGradedFormListForTeacherFormGradingLastModDate),
         {"2024-03-01-1200-00", "2024-03-08-0930-15", "2024-04-01-0800-00"}},
        {T("Type", vexo25_getGradedFormListForTeacherFormType), {"quiz", "test", "quiz"}},
        {T("Title", vexo25_getGradedFormListForTeacherFormTitle),
         {"Fractions", "Decimals", "Cells"}},
        {T("ClassID", vexo25_getGradedFormListForTeacherFormClassID), {"17", "17", "18"}},
        {T("PointsAvailable", vexo25_getGradedFormListForTeacherFormPointsAvailable),
         {"10", "50", "5"}}}},
      {"class's forms", [] { return vexo25_retrieveGradedFormListForClassInfo("18"); },
       vexo25_getGradedFormListForClassFormCount,
       {{T("Entid", vexo25_getGradedFormListForClassFormEntid), {"F-200"}},
        {T("GradingLastModDate", vexo25_getGradedFormListForClassFormGradingLastModDate),
         {"2024-04-01-0800-00"}},
        {T("Type", vexo25_getGradedFormListForClassFormType), {"quiz"}},
        {T("Title", vexo25_getGradedFormListForClassFormTitle), {"Cells"}},
        {T("ClassID", vexo25_getGradedFormListForClassFormClassID), {"18"}},
        {T("PointsAvailable", vexo25_getGradedFormListForClassFormPointsAvailable), {"5"}}}},
      {"grades", [] { return vexo25_retrieveGradesForForm("F-100"); },
       vexo25_getGradesForFormCount,
       {{T("UserID", vexo25_getGradesForFormUserID), {"s1", "s2"}},
        {T("PointsAwarded", vexo25_getGradesForFormPointsAwardedString), {"9.5", "7"}}}},
      {"periods", vexo25_retrieveCoreGroupClassidPeriodsInfo,
       vexo25_getCoreGroupClassidPeriodsInfoCount,
       {{T("Key", vexo25_getCoreGroupClassidPeriodsInfoKey), {"2024-S1", "2024-S2"}},
        {T("ShortLabel", vexo25_getCoreGroupClassidPeriodsInfoShortLabel), {"S1", "S2"}},
        {T("LongLabel", vexo25_getCoreGroupClassidPeriodsInfoLongLabel),
         {"Spring 2024", "Fall 2024"}},
        {T("PeriodType", vexo25_getCoreGroupClassidPeriodsInfoPeriodType),
         {"semester", "semester"}},
        {T("DisplayMode", vexo25_getCoreGroupClassidPeriodsInfoDisplayMode), {"short", ""}}}},
      {"interfaces", vexo25_retrieveInterfacesInfo, vexo25_getInterfacesInfoCount,
       {{T("Name", vexo25_getInterfacesInfoName), {"gradebook", "attendance"}},
        {T("Id", vexo25_getInterfacesInfoId), {"11", "12"}}}},
  };
}

class InfoTablesTest : public InterfaceTest {
 protected:
  // Every column of the table as it reads now.
  static std::vector<Texts> contents(const TableCase& table) {
    std::vector<Texts> columns;
    for (const auto& column : table.columns) {
      columns.push_back(readColumn(column.first, table.count()));
    }
    return columns;
  }
  static std::vector<Texts> expected(const TableCase& table) {
    std::vector<Texts> columns;
    for (const auto& column : table.columns) {
      columns.push_back(column.second);
    }
    return columns;
  }
};

TEST_F(InfoTablesTest, EveryTableReadsBackColumnByColumnAndOnlyInsideItsRows) {
  logIn("teacher1", "apple-pie");
  for (const TableCase& table : everyTable()) {
    EXPECT_EQ(table.count(), 0) << table.name;
    EXPECT_EQ(table.retrieve(), 0) << table.name << ": " << message();
    const int count = static_cast<int>(table.columns[0].second.size());
    EXPECT_EQ(table.count(), count) << table.name;
    for (const auto& column : table.columns) {
      EXPECT_EQ(readColumn(column.first, count), column.second)
          << table.name << " " << column.first.name;
      EXPECT_TRUE(outsideIsEmpty(column.first, count)) << table.name << " " << column.first.name;
    }
  }
  // The rows outlive the session.
  ASSERT_EQ(vexo25_disconnect(), 0);
  for (const TableCase& table : everyTable()) {
    EXPECT_EQ(contents(table), expected(table)) << table.name;
  }
}

TEST_F(InfoTablesTest, FailuresBeforeTheRowCountKeepThePreviousRows) {
  const std::vector<TableCase> tables = everyTable();
  const TableCase& taught = tables[0];
  struct Case {
    const char* name;
    std::function<void()> prepare;
    int status;
    const char* message;
    bool connectedAfter;
  };
  const std::vector<Case> cases = {
      {"HTTP 500", [] { scriptNext(500, "down"); }, 125, "HTTP result: 500", false},
      {"refused", [] { scriptNext(200, "resp.0.retcode=notAuthenticated\r\n"); }, 303,
       "returnCode = 'notAuthenticated'", false},
      {"no count", [] { scriptNext(200, "resp.0.retcode=ok\r\n"); }, 103,
       "'resp.0.class.count' not found", false},
      {"count not a number",
       [] { scriptNext(200, "resp.0.retcode=ok\r\nresp.0.class.count=two\r\n"); }, 103, nullptr,
       false},
      {"no session", [] { vexo25_disconnect(); }, 203, "not connected", false},
  };
  for (const Case& c : cases) {
    logIn("teacher1", "apple-pie");
    ASSERT_EQ(taught.retrieve(), 0);
    c.prepare();
    EXPECT_EQ(taught.retrieve(), c.status) << c.name;
    if (c.message) {
      EXPECT_EQ(message(), c.message) << c.name;
    }
    EXPECT_EQ(vexo25_isConnected() != 0, c.connectedAfter) << c.name;
    EXPECT_EQ(contents(taught), expected(taught)) << c.name;
  }
}

TEST_F(InfoTablesTest, AnAnswerMissingARowItAnnouncedEmptiesTheTable) {
  const TableCase taught = everyTable()[0];
  const std::vector<std::pair<const char*, const char*>> answers = {
      {"second row without its title",
       "resp.0.retcode=ok\r\nresp.0.class.count=2\r\nresp.0.class.0.id=1\r\n"
       "resp.0.class.0.title=A\r\nresp.0.class.1.id=2\r\n"},
      {"no rows at all", "resp.0.retcode=ok\r\nresp.0.class.count=3\r\n"},
  };
  for (const auto& answer : answers) {
    logIn("teacher1", "apple-pie");
    ASSERT_EQ(taught.retrieve(), 0);
    scriptNext(200, answer.second);
    EXPECT_EQ(taught.retrieve(), 103) << answer.first;
    EXPECT_NE(message().find("' not found"), std::string::npos) << message();
    EXPECT_EQ(vexo25_getTaughtClassesCount(), 0) << answer.first;
    EXPECT_EQ(vexo25_getTaughtClassID(0), nullptr) << answer.first;
    EXPECT_EQ(vexo25_getTaughtClassTitle(0), nullptr) << answer.first;
  }
}

TEST_F(InfoTablesTest, EmptyNegativeAndReplacedTables) {
  logIn("teacher1", "apple-pie");
  ASSERT_EQ(vexo25_retrieveRosterUserInfo("17"), 0);
  ASSERT_EQ(vexo25_retrieveGradesForForm("F-100"), 0);
  // Another class's roster replaces all rows; the grades stay.
  EXPECT_EQ(vexo25_retrieveRosterUserInfo("99"), 0);
  EXPECT_EQ(vexo25_getRosterUserInfoCount(), 0);
  EXPECT_EQ(vexo25_getRosterUserInfoFirstName(0), nullptr);
  EXPECT_EQ(vexo25_getGradesForFormCount(), 2);
  EXPECT_EQ(sessionPosts().back().at("req.0.classID"), "99");

  scriptNext(200, "resp.0.retcode=ok\r\nresp.0.response.count=-4\r\n");
  EXPECT_EQ(vexo25_retrieveGradesForForm("F-100"), 0);
  EXPECT_EQ(vexo25_getGradesForFormCount(), -4);
  EXPECT_EQ(vexo25_getGradesForFormUserID(0), nullptr);
  EXPECT_EQ(vexo25_getGradesForFormUserID(-1), nullptr);

  // The implicit core groups only when asked for.
  EXPECT_EQ(vexo25_retrieveCoreGroupsInfo(0), 0);
  EXPECT_EQ(vexo25_getCoreGroupInfoCount(), 3);
  EXPECT_EQ(sessionPosts().back().at("req.0.includeImplicitCoreGroups"), "false");
}

TEST_F(InfoTablesTest, NullArgumentsAreRefusedAndKeepTheSessionAndTheRows) {
  logIn("teacher1", "apple-pie");
  ASSERT_EQ(vexo25_retrieveRosterUserInfo("17"), 0);
  const std::size_t posts = sessionPosts().size();
  const std::vector<std::function<int()>> calls = {
      [] { return vexo25_retrieveRosterUserInfo(nullptr); },
      [] { return vexo25_retrieveGradedFormListForClassInfo(nullptr); },
      [] { return vexo25_retrieveGradesForForm(nullptr); },
  };
  for (const auto& call : calls) {
    EXPECT_EQ(call(), 103);
    EXPECT_EQ(message(), "Null argument");
    EXPECT_EQ(vexo25_isConnected(), 1);
  }
  EXPECT_EQ(sessionPosts().size(), posts);
  EXPECT_EQ(vexo25_getRosterUserInfoCount(), 3);
}

TEST_F(InfoTablesTest, OnlyTheInterfacesTableAnswersBeforeALogin) {
  ASSERT_EQ(vexo25_connect(), 0);
  EXPECT_EQ(vexo25_retrieveInterfacesInfo(), 0);
  EXPECT_EQ(vexo25_getInterfacesInfoCount(), 2);
  EXPECT_EQ(vexo25_retrieveDistrictSchoolsInfo(), 103);
  EXPECT_EQ(message(), "Not logged in.");
  EXPECT_EQ(vexo25_isConnected(), 0);
  EXPECT_EQ(vexo25_getInterfacesInfoCount(), 2);
}

}  // namespace
}  // namespace vexotest
