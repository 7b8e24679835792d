// The session's data queries: tables of the service read into one vector per column.
#include <boost/lexical_cast.hpp>

#include "vexolib/session/Session.h"
#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/platform.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

typedef Session::QueryField Field;

Field text(const char* name, std::vector<std::string>& column) {
  return {name, Field::requiredText, &column, nullptr};
}

Field optionalText(const char* name, std::vector<std::string>& column) {
  return {name, Field::optionalText, &column, nullptr};
}

Field flag(const char* name, Field::Kind kind, std::vector<int>& column) {
  return {name, kind, nullptr, &column};
}

void readField(const NVPSet& answer, const std::string& name, const Field& field) {
  switch (field.kind) {
    case Field::requiredText:
      field.text->push_back(answer.getString(name));
      break;
    case Field::optionalText:
      field.text->push_back(answer.getString(name, ""));
      break;
    case Field::legacyText: {
      const auto value = answer.lookupNVP(name);
      field.text->push_back(value ? (*value)->getString() : std::string());
      break;
    }
    case Field::requiredFlag:
      field.flags->push_back(answer.getBoolean(name) ? 1 : 0);
      break;
    case Field::flagDefaultTrue:
      field.flags->push_back(answer.getBoolean(name, true) ? 1 : 0);
      break;
    case Field::flagDefaultFalse:
      field.flags->push_back(answer.getBoolean(name, false) ? 1 : 0);
      break;
  }
}

}  // namespace

int Session::runListQuery(const char* operation, const char* type,
                          const RequestValues& arguments, bool needsLogin, const char* list,
                          const std::vector<QueryField>& fields) {
  platform::trace(operation);
  requireConnected();
  if (needsLogin && !loggedIn) {
    throw VexoException(status::generalFailure, "Not logged in.");
  }
  RequestValues values{{"req.0.type", type}};
  values.insert(values.end(), arguments.begin(), arguments.end());
  const NVPSet answer = sendSingleOperation(values);
  const std::string listPrefix = std::string("resp.0.") + list + ".";
  const int count = boost::lexical_cast<int>(answer.getString(listPrefix + "count"));
  // Only now: a failure before the count leaves the caller's previous table untouched.
  for (const QueryField& field : fields) {
    if (field.text != nullptr) {
      field.text->clear();
    } else {
      field.flags->clear();
    }
  }
  // The count is the server's word: rows are read until it is reached or one is missing,
  // and no vector is sized by it in advance.
  for (int row = 0; row < count; ++row) {
    const std::string rowPrefix = listPrefix + std::to_string(row) + ".";
    for (const QueryField& field : fields) {
      readField(answer, rowPrefix + field.name, field);
    }
  }
  platform::trace(std::string("exit ") + operation);
  return count;
}

std::string Session::getCoreGroupRemoteAttributeString(const std::string& attributeName) {
  platform::trace("getCoreGroupRemoteAttributeString");
  requireConnected();
  if (!loggedIn) {
    throw VexoException(status::generalFailure, "Not logged in.");
  }
  const NVPSet answer = sendSingleOperation(
      {{"req.0.type", "getCoreGroupRemoteAttr"}, {"req.0.attrName", attributeName}});
  const std::string value = answer.getString("resp.0.attrVal");
  platform::trace("exit getCoreGroupRemoteAttributeString");
  return value;
}

int Session::getInterfacesInfo(std::vector<std::string>& names, std::vector<std::string>& ids) {
  return runListQuery("getInterfacesInfo", "getInterfacesInfo", {}, false, "interface",
                      {text("name", names), text("id", ids)});
}

int Session::getCoreGroupClassidPeriodsInfo(std::vector<std::string>& keys,
                                            std::vector<std::string>& shortLabels,
                                            std::vector<std::string>& longLabels,
                                            std::vector<std::string>& periodTypes,
                                            std::vector<std::string>& displayModes) {
  return runListQuery("getCoreGroupClassidPeriodsInfo", "getCoreGroupClassIdPeriodsInfo", {},
                      true, "period",
                      {text("key", keys), text("shortLabel", shortLabels),
                       text("longLabel", longLabels), text("periodType", periodTypes),
                       optionalText("displayMode", displayModes)});
}

int Session::getGradesForForm(const std::string& formEntid, std::vector<std::string>& userIDs,
                              std::vector<std::string>& pointsAwarded) {
  return runListQuery("getGradesForForm", "getGradesForForm", {{"req.0.formEntid", formEntid}},
                      true, "response",
                      {text("userID", userIDs), text("pointsAwarded", pointsAwarded)});
}

int Session::getGradedFormListForClass(const std::string& classID,
                                       std::vector<std::string>& entids,
                                       std::vector<std::string>& gradingLastModDates,
                                       std::vector<std::string>& types,
                                       std::vector<std::string>& titles,
                                       std::vector<std::string>& classIDs,
                                       std::vector<std::string>& pointsAvailable) {
  return runListQuery("getGradedFormListForClass", "getGradedFormListForClass",
                      {{"req.0.classID", classID}}, true, "form",
                      {text("entid", entids), text("gradingLastModDate", gradingLastModDates),
                       text("type", types), text("title", titles), text("classID", classIDs),
                       text("pointsAvailable", pointsAvailable)});
}

int Session::getGradedFormListForTeacher(std::vector<std::string>& entids,
                                         std::vector<std::string>& gradingLastModDates,
                                         std::vector<std::string>& types,
                                         std::vector<std::string>& titles,
                                         std::vector<std::string>& classIDs,
                                         std::vector<std::string>& pointsAvailable) {
  return runListQuery("getGradedFormListForTeacher", "getGradedFormListForTeacher", {}, true,
                      "form",
                      {text("entid", entids), text("gradingLastModDate", gradingLastModDates),
                       text("type", types), text("title", titles), text("classID", classIDs),
                       text("pointsAvailable", pointsAvailable)});
}

int Session::getDistrictSchoolsInfo(std::vector<std::string>& aliases,
                                    std::vector<std::string>& titles,
                                    std::vector<std::string>& entids,
                                    std::vector<std::string>& schoolIDs) {
  return runListQuery("getDistrictSchoolsInfo", "getDistrictSchoolsInfo", {}, true, "school",
                      {text("alias", aliases), text("title", titles), text("entid", entids),
                       text("schoolID", schoolIDs)});
}

int Session::getCoreGroupsInfo(bool includeImplicitCoreGroups, std::vector<std::string>& titles,
                               std::vector<std::string>& entids,
                               std::vector<std::string>& aliases,
                               std::vector<std::string>& legacyIDs,
                               std::vector<int>& isDistrict) {
  return runListQuery(
      "getCoreGroupsInfo", "getCoreGroupsInfo",
      {{"req.0.includeImplicitCoreGroups", strutil::fromBool(includeImplicitCoreGroups)}}, true,
      "group",
      {text("title", titles), text("entid", entids), text("alias", aliases),
       {"legacyID", Field::legacyText, &legacyIDs, nullptr},
       flag("isDistrict", Field::requiredFlag, isDistrict)});
}

int Session::getRosterUserInfo(const std::string& classID, std::vector<std::string>& firstNames,
                               std::vector<std::string>& lastNames,
                               std::vector<std::string>& userIDs,
                               std::vector<std::string>& screenNames,
                               std::vector<int>& isTeacher) {
  return runListQuery("getRosterUserInfo", "getRosterUserInfo", {{"req.0.classID", classID}},
                      true, "user",
                      {text("firstName", firstNames), text("lastName", lastNames),
                       text("userID", userIDs), text("screenName", screenNames),
                       flag("isTeacher", Field::flagDefaultFalse, isTeacher)});
}

int Session::getCoreGroupTeachersAndGradebooks(std::vector<std::string>& teacherIDs,
                                               std::vector<std::string>& teacherNames,
                                               std::vector<std::string>& classIDs,
                                               std::vector<std::string>& classTitles,
                                               std::vector<std::string>& filenames,
                                               std::vector<int>& isActiveForExport,
                                               std::vector<int>& isActiveForReport,
                                               std::vector<std::string>& periodIDs,
                                               std::vector<std::string>& editModes) {
  return runListQuery("getCoreGroupTeachersAndGradebooks", "getCoreGroupTeachersAndGradebooks",
                      {}, true, "gradebook",
                      {text("teacherID", teacherIDs), text("teacherName", teacherNames),
                       text("classID", classIDs), text("classTitle", classTitles),
                       text("filename", filenames),
                       flag("isActiveForExport", Field::flagDefaultTrue, isActiveForExport),
                       flag("isActiveForReport", Field::flagDefaultTrue, isActiveForReport),
                       optionalText("periodID", periodIDs), optionalText("editMode", editModes)});
}

int Session::getCoreGroupTeachersAndClasses(std::vector<std::string>& teacherIDs,
                                            std::vector<std::string>& teacherNames,
                                            std::vector<std::string>& classIDs,
                                            std::vector<std::string>& classTitles,
                                            std::vector<std::string>& periodIDs) {
  return runListQuery("getCoreGroupTeachersAndClasses", "getCoreGroupTeachersAndClasses", {},
                      true, "record",
                      {text("teacherID", teacherIDs), text("teacherName", teacherNames),
                       text("classID", classIDs), text("classTitle", classTitles),
                       optionalText("periodID", periodIDs)});
}

int Session::getGradebookInfo(std::vector<std::string>& classIDs,
                              std::vector<std::string>& classTitles,
                              std::vector<std::string>& filenames,
                              std::vector<int>& isActiveForExport,
                              std::vector<int>& isActiveForReport,
                              std::vector<std::string>& periodIDs,
                              std::vector<std::string>& editModes) {
  return runListQuery("getGradebookInfo", "getGradebookInfo", {}, true, "gradebook",
                      {text("classID", classIDs), text("classTitle", classTitles),
                       text("filename", filenames),
                       flag("isActiveForExport", Field::flagDefaultTrue, isActiveForExport),
                       flag("isActiveForReport", Field::flagDefaultTrue, isActiveForReport),
                       optionalText("periodID", periodIDs), optionalText("editMode", editModes)});
}

int Session::getTaughtClassesInfo(std::vector<std::string>& ids,
                                  std::vector<std::string>& titles,
                                  std::vector<std::string>& periodIDs) {
  return runListQuery("getTaughtClassesInfo", "getTaughtClassesInfo", {}, true, "class",
                      {text("id", ids), text("title", titles),
                       optionalText("periodID", periodIDs)});
}

}  // namespace vexo
