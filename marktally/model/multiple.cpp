#include "marktally/model/multiple.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "marktally/model/accessors.h"
#include "marktally/model/converters.h"
#include "marktally/model/document.h"
#include "marktally/model/grading.h"
#include "marktally/model/operations.h"
#include "marktally/model/platform.h"
#include "marktally/model/scoretext.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"

MultipleStudentRecord gMultipleStudents[kMaxMultipleStudents];
int16_t gNumStudents = 0;
FileSpec gFileSpecs[kMaxMultipleFiles];
int16_t gNumFiles = 0;
int16_t gNumSubjects = 0;
int16_t gNumTerms = 0;
Str63 gSchoolName;
bool gTooManyFiles = false;
bool gTooManyStudents = false;
bool gTooManySubjects = false;
bool gIncompatibleYear = false;
bool gExportMultiple = false;
int16_t gMergingFile = -1;
uint8_t gShowAllTerms = 1;
uint8_t gShowSemester = 1;
uint8_t gShowYear = 0;
uint8_t gShowAttend = 0;
uint8_t gShowAssigns = 0;
uint8_t gShowMissing = 0;
uint8_t gShowComments = 0;
uint8_t gShowSignature = 0;
uint8_t gShowPercents = 0;
uint8_t gShowLetterGrades = 0;

namespace {

constexpr uint16_t kSignatureOption = 0x2000;
constexpr uint16_t kCommentsOption = 0x1000;

// Each merged student's name in last-name-first form, kept beside the records so that
// matching a class's student does not rework every merged name.
Str31 gMergedKeys[kMaxMultipleStudents];

void LimitAlert(bool& shown, const char* title, const char* count, const char* what) {
  if (shown) return;
  shown = true;
  Str255 text = PStr("The multiple class report may include no more than ");
  Append(text, PStr(count));
  Append(text, PStr(what));
  ShowModelAlert(kStopAlert, kAlertOK, PStr(title), text);
}

void SetKey(int16_t merged) {
  Str255 key;
  LastNameFirst(gMultipleStudents[merged].name, key);
  gMergedKeys[merged].set(key);
}

int16_t FindMergedStudent(ConstStringPtr key) {
  for (int16_t i = 0; i < gNumStudents; i++)
    if (EqualString(key, gMergedKeys[i], false, false)) return i;
  return -1;
}

void ClearRecord(MultipleStudentRecord& r) {
  r.id.clear();
  r.name.clear();
  r.subjectCount = 0;
  for (MultipleSubjectRecord& sub : r.subjects) {
    sub.subject.clear();
    sub.teacher.clear();
    sub.commentsShown = 1;
    sub.classFile = sub.classSlot = -1;
    for (Str4& g : sub.grades) g.clear();
    std::fill(std::begin(sub.percents), std::end(sub.percents), kNone);
    for (Str255& c : sub.comments) c.clear();
    std::fill(std::begin(sub.absences), std::end(sub.absences), 0);
    std::fill(std::begin(sub.tardies), std::end(sub.tardies), 0);
  }
  for (int t = 0; t < kMaxTerms; t++) {
    r.keptWork[t] = r.seenWork[t] = r.keptMissing[t] = r.seenMissing[t] = 0;
    for (MultipleAssignmentEntry& e : r.work[t]) {
      e.date = 0;
      e.points = 0;
    }
    for (MultipleAssignmentEntry& e : r.missing[t]) e.points = 0;
  }
}

void StoreGrade(MultipleSubjectRecord& sub, int slot, int16_t percent) {
  sub.percents[slot] = static_cast<uint16_t>(percent);
  Str255 grade;
  PercentToGrade(percent, grade);
  sub.grades[slot].set(grade);
}

void MakeEntry(int16_t s, int16_t t, int16_t a, MultipleAssignmentEntry& e) {
  const AssignmentRecord& column = gAssignments[t][a];
  e.date = gAssignDates[t][a];
  Str255 score;
  ScoreToString(gScores[s][t][a], score);
  e.score.set(score);
  e.subject.set(gClass.subject);
  e.name.set(column.name);
  if (column.category < kMaxCategories)
    e.category.set(gCategories[t][column.category].name);
  else
    e.category.clear();
  const uint8_t mark = gFootnotes[s][t][a];
  if (mark < kMaxFootnotes)
    e.footnote.set(gFootnoteText[mark]);
  else
    e.footnote.clear();
  e.points = column.points;
}

// Entries are filled in order, so the first kept..size-1 are free; a full list gives its
// place to the first entry with the fewest points when the new one has no fewer. The
// kept count, not a zero date, marks the free entries: an assignment without a due date
// is a real entry.
void Offer(MultipleAssignmentEntry* list, int size, uint16_t& kept, uint16_t& seen,
           const MultipleAssignmentEntry& entry) {
  int place = kept < size ? kept : -1;
  if (place < 0) {
    place = 0;
    for (int i = 1; i < size; i++)
      if (list[i].points < list[place].points) place = i;
  }
  if (seen < 0xFFFF) seen++;
  if (place < kept && list[place].points > entry.points) return;
  list[place] = entry;
  kept = static_cast<uint16_t>(std::min<int>(size, kept + 1));
}

int CompareNames(ConstStringPtr a, ConstStringPtr b) { return RelString(a, b, false, false); }

// Puts items in the order of `order` (item i takes the old item order[i]) moving each
// one once, through a single spare record.
template <class T>
void Permute(T* items, const std::vector<int>& order, T& spare) {
  std::vector<char> done(order.size(), 0);
  for (size_t i = 0; i < order.size(); i++) {
    if (done[i] || order[i] == static_cast<int>(i)) continue;
    spare = items[i];
    size_t j = i;
    while (order[j] != static_cast<int>(i)) {
      items[j] = items[order[j]];
      done[j] = 1;
      j = static_cast<size_t>(order[j]);
    }
    items[j] = spare;
    done[j] = 1;
  }
}

// The order a bubble sort that swaps only out-of-order neighbours would give: a stable
// sort of the indexes under the same comparison.
template <class Compare>
std::vector<int> SortedOrder(int count, Compare compare) {
  std::vector<int> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return compare(a, b) < 0; });
  return order;
}

bool InOrder(const std::vector<int>& order) {
  for (size_t i = 0; i < order.size(); i++)
    if (order[i] != static_cast<int>(i)) return false;
  return true;
}

template <class T, class Compare>
void SortList(T* items, int count, T& spare, Compare compare) {
  if (count < 2) return;
  const std::vector<int> order =
      SortedOrder(count, [&](int a, int b) { return compare(items[a], items[b]); });
  if (!InOrder(order)) Permute(items, order, spare);
}

}  // namespace

int CompareMultipleStudents(const MultipleStudentRecord& a, const MultipleStudentRecord& b) {
  Str255 ka, kb;
  LastNameFirst(a.name, ka);
  LastNameFirst(b.name, kb);
  return CompareNames(ka, kb);
}

int CompareGradedWork(const MultipleAssignmentEntry& a, const MultipleAssignmentEntry& b) {
  if (int r = CompareNames(a.subject, b.subject)) return r;
  if (a.date != b.date) return a.date < b.date ? -1 : 1;
  if (int r = CompareNames(a.name, b.name)) return r;
  return CompareNames(a.category, b.category);
}

int CompareMissingWork(const MultipleAssignmentEntry& a, const MultipleAssignmentEntry& b) {
  if (int r = CompareNames(a.subject, b.subject)) return r;
  if (a.points != b.points) return a.points > b.points ? -1 : 1;
  if (int r = CompareNames(a.name, b.name)) return r;
  return CompareNames(a.category, b.category);
}

void NewMultipleClassReport() {
  SetDefaultPageSetup();
  gNumFiles = 0;
  gNumSubjects = 0;
  gNumStudents = 0;
  gNumTerms = 0;
  gSchoolName.clear();
  gExportMultiple = false;
  gIncompatibleYear = false;
  gTooManyFiles = false;
  gTooManySubjects = false;
  gTooManyStudents = false;
  gShowAllTerms = 1;
  gShowSemester = 1;
  gShowYear = gShowAttend = gShowAssigns = gShowMissing = gShowComments = 0;
  gShowSignature = gShowPercents = gShowLetterGrades = 0;
  gCurrentTerm = 0;
  for (int i = 0; i < kMaxMultipleStudents; i++) {
    ClearRecord(gMultipleStudents[i]);
    gMergedKeys[i].clear();
  }
  for (FileSpec& f : gFileSpecs) f = FileSpec{};
}

void AddClass(const FileSpec& file) {
  if (gNumFiles < kMaxMultipleFiles) {
    gFileSpecs[gNumFiles++] = file;
    return;
  }
  LimitAlert(gTooManyFiles, "Too many classes in report", "100", " classes.");
}

void GenerateMultipleReport() {
  for (int16_t i = 0; i < gNumFiles; i++) {
    gMergingFile = i;
    MergeClass(gFileSpecs[i]);
  }
  gMergingFile = -1;
  SortMultipleClasses();
}

bool ReadReportClass(const FileSpec& file) {
  gFileSpec = file;
  // Converting many old classes in a row would otherwise stop at a note for each one.
  const bool quiet = gQuietConversions;
  gQuietConversions = true;
  FileRef ref = kNoFile;
  const bool read = OpenFile(ref) && ReadDocument(ref);
  gQuietConversions = quiet;
  // The tables now hold a class that this window will never save.
  SetChanged(0);
  if (read) MakeClassCurrent();
  return read;
}

bool MergeClass(const FileSpec& file) {
  if (!ReadReportClass(file)) return false;
  const int16_t lastTerm = static_cast<int16_t>(LastTermIndex());
  if (gNumSubjects > 0 && lastTerm != gNumTerms) {
    if (!gIncompatibleYear) {
      gIncompatibleYear = true;
      ShowModelAlert(kStopAlert, kAlertOK, PStr("Classes have different school years"),
                     PStr("Not all classes in this multiple class report have the same "
                          "number of terms in their school year. Classes with a different "
                          "school year will not be included in this report."));
    }
    return false;
  }
  gNumSubjects++;
  gNumTerms = lastTerm;
  gCurrentTerm = gClass.currentTerm;
  if (!(gClass.flags & kHidePercents)) gShowPercents = 1;
  if (gClass.flags & kLetterGrades) gShowLetterGrades = 1;
  if (gReportOptions & kSignatureOption) gShowSignature = 1;
  gSchoolName.set(gClass.school);
  CountScores();
  // A student a limit refuses leaves the rest of the class to be merged.
  for (int16_t s = 0; s < kMaxStudents && !gStudents[s].name.empty(); s++) MergeStudent(s);
  return true;
}

int16_t MergeStudent(int16_t s) {
  if (s < 0 || s >= kMaxStudents) return -1;
  const StudentRecord& student = gStudents[s];
  Str255 key;
  LastNameFirst(student.name, key);
  int16_t merged = FindMergedStudent(key);
  if (merged < 0) {
    if (gNumStudents >= kMaxMultipleStudents) {
      LimitAlert(gTooManyStudents, "Too many students in report", "500", " students.");
      return -1;
    }
    merged = gNumStudents++;
  }
  MultipleStudentRecord& record = gMultipleStudents[merged];
  if (record.subjectCount >= kMaxMultipleSubjects) {
    LimitAlert(gTooManySubjects, "Too many subjects in report", "15", " subjects.");
    return -1;
  }
  MultipleSubjectRecord& sub = record.subjects[record.subjectCount++];
  sub.commentsShown = (gReportOptions & kCommentsOption) ? 1 : 0;
  sub.subject.set(gClass.subject);
  sub.teacher.set(gClass.teacher);
  sub.classFile = gMergingFile;
  sub.classSlot = s;
  // A class that gives the student no ID leaves the one an earlier class gave: the ID
  // names the student's web page.
  if (!student.id.empty()) record.id.set(student.id);
  record.name.set(student.name);
  SetKey(merged);

  const int16_t lastTerm = static_cast<int16_t>(LastTermIndex());
  for (int16_t t = 0; t <= lastTerm; t++) {
    const int16_t p = TermPercent(t, s);
    if (p > 0 && t > static_cast<int16_t>(gCurrentTerm)) gCurrentTerm = static_cast<uint16_t>(t);
    StoreGrade(sub, t, p);
    sub.absences[t] = student.absences[t];
    sub.tardies[t] = student.tardies[t];
    if (gComments[s][t].empty())
      sub.comments[t].setC("No comments");
    else
      sub.comments[t].set(gComments[s][t]);
  }
  if (lastTerm == 3 || lastTerm == 5) {
    StoreGrade(sub, kSemesterGrade, SemesterPercent(0, s));
    StoreGrade(sub, kSemesterGrade + 1, SemesterPercent(1, s));
  }
  StoreGrade(sub, kYearGrade, FinalPercent(s));

  for (int16_t t = 0; t <= lastTerm; t++) {
    for (int16_t a = 0; a < kMaxAssignments; a++) {
      if (gNumScores[t][a] == 0) continue;
      const AssignmentRecord& column = gAssignments[t][a];
      if (column.name.empty()) continue;
      InsertStudentAssignment(s, merged, t, a);
      if (column.points == 0 || column.category == kExtraCreditCategory) continue;
      if (column.category >= kMaxCategories || gCategories[t][column.category].weight == kNone)
        continue;
      const int16_t score = ConvertSpecialScoreInTerm(gScores[s][t][a], t, a);
      if (score == kBlank || score == kIncomplete) InsertMissingAssignment(s, merged, t, a);
    }
  }
  return merged;
}

void InsertStudentAssignment(int16_t s, int16_t merged, int16_t term, int16_t column) {
  if (merged < 0 || merged >= kMaxMultipleStudents || term < 0 || term >= kMaxTerms) return;
  MultipleStudentRecord& r = gMultipleStudents[merged];
  MultipleAssignmentEntry entry;
  MakeEntry(s, term, column, entry);
  Offer(r.work[term], kMaxGradedWork, r.keptWork[term], r.seenWork[term], entry);
}

void InsertMissingAssignment(int16_t s, int16_t merged, int16_t term, int16_t column) {
  if (merged < 0 || merged >= kMaxMultipleStudents || term < 0 || term >= kMaxTerms) return;
  MultipleStudentRecord& r = gMultipleStudents[merged];
  MultipleAssignmentEntry entry;
  MakeEntry(s, term, column, entry);
  Offer(r.missing[term], kMaxMissingWork, r.keptMissing[term], r.seenMissing[term], entry);
}

void SortMultipleClasses() {
  // Whole records are about 100 KB: the sort orders indexes and moves each record once.
  static std::unique_ptr<MultipleStudentRecord> spare(new MultipleStudentRecord);
  const int n = std::clamp<int>(gNumStudents, 0, kMaxMultipleStudents);
  // The keys come from the names, whoever filled the records.
  for (int16_t i = 0; i < n; i++) SetKey(i);
  if (n >= 2) {
    const std::vector<int> order = SortedOrder(
        n, [](int a, int b) { return CompareNames(gMergedKeys[a], gMergedKeys[b]); });
    if (!InOrder(order)) {
      Permute(gMultipleStudents, order, *spare);
      Str31 spareKey;
      Permute(gMergedKeys, order, spareKey);
    }
  }
  MultipleSubjectRecord spareSubject;
  MultipleAssignmentEntry spareEntry;
  const int lastTerm = std::clamp<int>(gNumTerms, 0, kMaxTerms - 1);
  for (int i = 0; i < n; i++) {
    MultipleStudentRecord& r = gMultipleStudents[i];
    SortList(r.subjects, std::min<int>(r.subjectCount, kMaxMultipleSubjects), spareSubject,
             [](const MultipleSubjectRecord& a, const MultipleSubjectRecord& b) {
               return CompareNames(a.subject, b.subject);
             });
    for (int t = 0; t <= lastTerm; t++) {
      SortList(r.work[t], std::min<int>(r.keptWork[t], kMaxGradedWork), spareEntry,
               CompareGradedWork);
      SortList(r.missing[t], std::min<int>(r.keptMissing[t], kMaxMissingWork), spareEntry,
               CompareMissingWork);
    }
  }
}

int16_t NumMultipleStudents() { return gNumStudents; }
