// The delimited text export (tab or comma separated, with a choice of column groups)
// and its HTML mode, one page with a table of the students' grades.
#pragma once

#include <cstdint>
#include <functional>

#include "marktally/model/fileutil.h"
#include "marktally/reports/export_buffer.h"

// What of the window the export is handed: the view shown and its selection narrow the
// assignments (a selected gradebook column) or the coded days (a selected attendance
// day), and the progress step is taken once per student.
struct ExportScope {
  uint16_t view = 0;           // ViewKind
  int16_t assignment = -1;     // the selected column of the gradebook view, -1 none
  int16_t day = -1;            // the day index of the selected attendance column, -1 none
  std::function<void(int16_t student)> progress;
};

// Writes the export into the file spec: delimited text as UTF-8 with CR LF row ends, the
// TeacherWeb form and the HTML page in the class's own bytes with CR line ends. The text
// goes into a file beside it that takes its place only once it is whole, so a failed
// export leaves a file it replaces as it was.
// Reports its own failures (the file's name with the system's reason); true when written.
bool ExportClass(const FileSpec& spec, const ExportScope& scope = ExportScope{});

// The days of the current term as day indexes of the attendance table, cut to it.
void CurrentTermDays(int& first, int& last);
// The semester the current term belongs to: 1 for the later terms of a class of 4 or 6
// terms, else 0.
int16_t CurrentSemester();
