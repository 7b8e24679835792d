// The twelve information tables: one retrieve per table runs the session's query into fresh
// columns, which replace the table's rows only when the query succeeds; every cell is read
// through one bounds-checked getter.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "vexolib/session/Session.h"
#include "vexolib/api/internal.h"
#include "vexolib/api/operations.h"
#include "vexolib/api/api25.h"

namespace vexo {
namespace api25 {

namespace {

struct Column {
  bool flag = false;
  std::vector<std::string> texts;
  std::vector<int> flags;
};

struct Rows {
  int count = 0;
  std::vector<Column> columns;
};

// The kind of each column, in the order the table's query fills them: t text, f flag.
const char* const columnKinds[infoTableCount] = {
    "ttt",        // taught classes
    "tttfftt",    // gradebooks
    "ttttt",      // core group teachers and classes
    "tttttfftt",  // core group teachers and gradebooks
    "ttttf",      // roster
    "ttttf",      // core groups
    "tttt",       // district schools
    "tttttt",     // graded forms of the teacher
    "tttttt",     // graded forms of a class
    "tt",         // grades of a form
    "ttttt",      // class-id periods
    "tt",         // interfaces
};

Rows emptyRows(InfoTable table) {
  Rows rows;
  for (const char* kind = columnKinds[static_cast<int>(table)]; *kind; ++kind) {
    Column column;
    column.flag = *kind == 'f';
    rows.columns.push_back(std::move(column));
  }
  return rows;
}

std::vector<Rows>& tables() {
  static std::vector<Rows> all = [] {
    std::vector<Rows> made;
    for (int t = 0; t < infoTableCount; ++t) {
      made.push_back(emptyRows(static_cast<InfoTable>(t)));
    }
    return made;
  }();
  return all;
}

// The session's queries empty their columns only once they have read the row count, so a
// marker left in the first column tells a failure before the count from one after it.
const char unreadMarker[] = "\x01(not read)";

bool stillUnread(const Rows& rows) {
  const std::vector<std::string>& first = rows.columns[0].texts;
  return first.size() == 1 && first[0] == unreadMarker;
}

typedef std::vector<Column> Columns;

int retrieve(const std::string& name, InfoTable table, std::initializer_list<const char*> texts,
             const std::function<int(Session&, Columns&)>& query) {
  if (refuseNullTexts(name, texts)) {
    return getStatusCode();
  }
  Rows fresh = emptyRows(table);
  fresh.columns[0].texts.push_back(unreadMarker);
  const int status = runOperation(name, SessionNeed::data, true, [&] {
    fresh.count = query(*accessSession(), fresh.columns);
    return 0;
  });
  Rows& current = tables()[static_cast<std::size_t>(table)];
  if (status == 0) {
    current = std::move(fresh);
  } else if (!stillUnread(fresh)) {
    // The answer announced rows it did not hold: no table rather than part of one.
    current = emptyRows(table);
  }
  return status;
}

// The column when table, column and row all lie inside the stored rows, else null.
const Column* cellColumn(InfoTable table, int column, int row) {
  const int t = static_cast<int>(table);
  if (t < 0 || t >= infoTableCount) {
    return nullptr;
  }
  const Rows& rows = tables()[static_cast<std::size_t>(t)];
  if (column < 0 || static_cast<std::size_t>(column) >= rows.columns.size() || row < 0 ||
      row >= rows.count) {
    return nullptr;
  }
  const Column& c = rows.columns[static_cast<std::size_t>(column)];
  const std::size_t held = c.flag ? c.flags.size() : c.texts.size();
  return static_cast<std::size_t>(row) < held ? &c : nullptr;
}

}  // namespace

int retrieveTaughtClassesInfo() {
  return retrieve("retrieveTaughtClassesInfo", InfoTable::taughtClasses, {},
                  [](Session& s, Columns& c) {
                    return s.getTaughtClassesInfo(c[0].texts, c[1].texts, c[2].texts);
                  });
}

int retrieveGradebookInfo() {
  return retrieve("retrieveGradebookInfo", InfoTable::gradebook, {}, [](Session& s, Columns& c) {
    return s.getGradebookInfo(c[0].texts, c[1].texts, c[2].texts, c[3].flags, c[4].flags,
                              c[5].texts, c[6].texts);
  });
}

int retrieveCoreGroupTeachersAndClasses() {
  return retrieve("retrieveCoreGroupTeachersAndClasses", InfoTable::coreGroupTeachersAndClasses,
                  {}, [](Session& s, Columns& c) {
                    return s.getCoreGroupTeachersAndClasses(c[0].texts, c[1].texts, c[2].texts,
                                                            c[3].texts, c[4].texts);
                  });
}

int retrieveCoreGroupTeachersAndGradebooks() {
  return retrieve("retrieveCoreGroupTeachersAndGradebooks",
                  InfoTable::coreGroupTeachersAndGradebooks, {}, [](Session& s, Columns& c) {
                    return s.getCoreGroupTeachersAndGradebooks(
                        c[0].texts, c[1].texts, c[2].texts, c[3].texts, c[4].texts, c[5].flags,
                        c[6].flags, c[7].texts, c[8].texts);
                  });
}

int retrieveRosterUserInfo(const char* classID) {
  return retrieve("retrieveRosterUserInfo", InfoTable::rosterUserInfo, {classID},
                  [&](Session& s, Columns& c) {
                    return s.getRosterUserInfo(classID, c[0].texts, c[1].texts, c[2].texts,
                                               c[3].texts, c[4].flags);
                  });
}

int retrieveCoreGroupsInfo(bool includeImplicitCoreGroups) {
  return retrieve("retrieveCoreGroupsInfo", InfoTable::coreGroupsInfo, {},
                  [&](Session& s, Columns& c) {
                    return s.getCoreGroupsInfo(includeImplicitCoreGroups, c[0].texts, c[1].texts,
                                               c[2].texts, c[3].texts, c[4].flags);
                  });
}

int retrieveDistrictSchoolsInfo() {
  return retrieve("retrieveDistrictSchoolsInfo", InfoTable::districtSchoolsInfo, {},
                  [](Session& s, Columns& c) {
                    return s.getDistrictSchoolsInfo(c[0].texts, c[1].texts, c[2].texts,
                                                    c[3].texts);
                  });
}

int retrieveGradedFormListForTeacherInfo() {
  return retrieve("retrieveGradedFormListForTeacherInfo", InfoTable::gradedFormListForTeacher,
                  {}, [](Session& s, Columns& c) {
                    return s.getGradedFormListForTeacher(c[0].texts, c[1].texts, c[2].texts,
                                                         c[3].texts, c[4].texts, c[5].texts);
                  });
}

int retrieveGradedFormListForClassInfo(const char* classID) {
  return retrieve("retrieveGradedFormListForClassInfo", InfoTable::gradedFormListForClass,
                  {classID}, [&](Session& s, Columns& c) {
                    return s.getGradedFormListForClass(classID, c[0].texts, c[1].texts,
                                                       c[2].texts, c[3].texts, c[4].texts,
                                                       c[5].texts);
                  });
}

int retrieveGradesForForm(const char* formEntid) {
  return retrieve("retrieveGradesForForm", InfoTable::gradesForForm, {formEntid},
                  [&](Session& s, Columns& c) {
                    return s.getGradesForForm(formEntid, c[0].texts, c[1].texts);
                  });
}

int retrieveCoreGroupClassidPeriodsInfo() {
  return retrieve("retrieveCoreGroupClassidPeriodsInfo", InfoTable::coreGroupClassidPeriodsInfo,
                  {}, [](Session& s, Columns& c) {
                    return s.getCoreGroupClassidPeriodsInfo(c[0].texts, c[1].texts, c[2].texts,
                                                            c[3].texts, c[4].texts);
                  });
}

int retrieveInterfacesInfo() {
  return retrieve("retrieveInterfacesInfo", InfoTable::interfacesInfo, {},
                  [](Session& s, Columns& c) {
                    return s.getInterfacesInfo(c[0].texts, c[1].texts);
                  });
}

int getRowCount(InfoTable table) {
  const int t = static_cast<int>(table);
  return t >= 0 && t < infoTableCount ? tables()[static_cast<std::size_t>(t)].count : 0;
}

const char* getTextCell(InfoTable table, int column, int row) {
  const Column* c = cellColumn(table, column, row);
  return c && !c->flag ? bufferString(c->texts[static_cast<std::size_t>(row)]) : nullptr;
}

int getFlagCell(InfoTable table, int column, int row) {
  const Column* c = cellColumn(table, column, row);
  return c && c->flag && c->flags[static_cast<std::size_t>(row)] != 0 ? 1 : 0;
}

void resetInfoTables() {
  for (int t = 0; t < infoTableCount; ++t) {
    tables()[static_cast<std::size_t>(t)] = emptyRows(static_cast<InfoTable>(t));
  }
}

}  // namespace api25
}  // namespace vexo
