// The hand-offs of finished class data to the two services that take them from outside the
// program: the Lorvex upload file, passed to the vexokit framework, and the SchoolSpeak
// upload tool (a Java archive beside the program). Both run off the event loop's thread
// while the export progress window is up: the window keeps drawing, and no event is taken
// from the queue, so no command runs and the class stays as it is until they end.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "marktally/model/fileutil.h"
#include "marktally/reports/export_buffer.h"

// ---- Lorvex --------------------------------------------------------------------------
// Writes the upload file (one progress report per student with an ID) in the folder of the
// class's document, named by the clock's seconds since 1904; spec receives its place.
// False when it could not be created or written (reported; a partial file is never sent).
bool ExportClassLorvex(FileSpec& spec);
// One student's opening (report, title, class code, names, ID, contents) and closing
// elements; every typed value is escaped. False at the first failed write.
bool ExportLorvexHeader(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer,
                        int16_t student);
bool ExportLorvexFooter(const FileSpec& spec, FileRef& refNum, WriteBuffer& buffer);
// Hands the file to the framework as the format and tells the teacher what came of it
// when it was not a plain success. True when the file was uploaded (also when its result
// page could not be opened); false at once when the framework is missing.
bool SendToLorvex(const char* format, const FileSpec& spec);

// The framework's status and message as the teacher reads them: whether the file was
// uploaded, and a sentence (empty for a plain success). The cause is taken from the
// message where it names one; every status has a sentence of its own otherwise.
struct LorvexOutcome {
  bool uploaded = false;
  std::string text;
};
LorvexOutcome LorvexUploadOutcome(int status, const std::string& message);

// ---- SchoolSpeak ---------------------------------------------------------------------
// The password typed in a SchoolSpeak dialog for the next run of the upload tool. It is
// never part of the class (so never saved) and is wiped when the tool has run.
void SetSchoolSpeakPassword(ConstStringPtr password);
void ForgetSchoolSpeakPassword();
// Runs the upload tool on an exported SchoolSpeak grade file / on the class's document
// (the class code and account from gExportData, the password set above). The tool is started without a
// shell; a tool that cannot start, fails, or outlasts its time limit is reported. True
// when it ended with status 0.
bool SendToSchoolSpeak(const FileSpec& spec);
bool SaveToSchoolSpeak(const FileSpec& spec);
// The tool's argument vectors, "java" first.
std::vector<std::string> SchoolSpeakUploadArguments(const FileSpec& spec);
std::vector<std::string> SchoolSpeakSaveArguments(const FileSpec& spec);
// UploadTool.jar in the folder of the running program.
std::string UploadToolPath();

// ---- Waiting off the loop ------------------------------------------------------------
// Runs work on a worker thread while the export progress window shows "Exporting " + text;
// the loop draws and lets the desktop run but takes no event. Clicks and keys that came
// meanwhile are dropped. Answers work's result.
// eachTurn, when given, runs on the loop's thread at every turn (about 30 times a second).
int RunWithProgress(ConstStringPtr text, const std::function<int()>& work,
                    const std::function<void()>& eachTurn = {});

// Test seams: a hook called on the loop's thread at each turn of the wait, and the upload
// tool's time limit in seconds (0: the program's own, ten minutes).
void SetUploadWaitHookForTesting(std::function<void()> hook);
void SetUploadToolTimeoutForTesting(int seconds);
