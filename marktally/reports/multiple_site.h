// The multiple-class web site: the class web site of every merged class in a sub-folder
// named by its subject, the fixed files, and one page per merged student linking to that
// student's page in each class site.
#pragma once

#include <cstdint>
#include <string>

#include "marktally/model/fileutil.h"
#include "marktally/model/records.h"
#include "marktally/reports/export_buffer.h"

// The site into the folder, without asking; false at the first failure (reported). With
// progress, each class shows its students in the host's progress window.
bool WriteMultipleSite(const std::string& folder, bool progress = false);
// The class web site of the class just read, in a sub-folder of the folder named by its
// subject made a web name; the sub-folder used is answered in subfolder.
bool ExportSubject(const std::string& folder, std::string& subfolder);

// The merged student's page, built from a links set.
struct StudentSubjectLink {
  Str63 subject;
  Str31 teacher;  // kept, not written
  uint16_t percent = 0xFFFF;
  Str5 grade;
  std::string href;  // relative to the page; empty: the class site has no page to link
};
void NewStudentLinks(ConstStringPtr school, ConstStringPtr name, ConstStringPtr id);
void AddStudentSubject(ConstStringPtr subject, ConstStringPtr teacher, uint16_t percent,
                       ConstStringPtr grade, const std::string& href);
bool CreateStudentPage(const std::string& folder);
bool ExportSubjectHeaders(const FileSpec& file, FileRef& ref, WriteBuffer& buffer);
bool ExportSubjectDetails(const FileSpec& file, FileRef& ref, WriteBuffer& buffer);
