// The framework's platform layer: configuration options, tracing and the log table, files
// and folders, and the facts of the running system. Everything runs on the caller's thread;
// the process-wide state behind these functions is not locked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <exception>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <boost/optional.hpp>

namespace vexo {
namespace platform {

// ---- Configuration options ------------------------------------------------------------
// Keys read from vexo.ini are lower-cased; overrides keep the caller's spelling; look-ups
// compare keys exactly. The file is read on the first look-up, copy or override.

// The grammar of vexo.ini: option lines count only inside a [vexo] section.
std::map<std::string, std::string> parseConfigOptionLines(const std::vector<std::string>& lines);

boost::optional<std::string> lookupConfigOption(const std::string& key);
// An absent key gives defaultValue; a present value is read by strutil::toBool(value, false),
// so a present but empty value is false.
bool getBoolConfigOption(const std::string& key, bool defaultValue);
std::string getStringConfigOption(const std::string& key, const std::string& defaultValue);
std::map<std::string, std::string> getConfigOptions();
void overrideStringConfigOption(const std::string& key, const std::string& value);
// Stores "1" or "0".
void overrideBoolConfigOption(const std::string& key, bool value);

// The key is "compressionEnabled" with a capital E, which a file key never is: only the
// program can switch compression off.
void setCompressionEnabled(bool enabled);
bool isCompressionEnabled();

// The service address used when the configuration names none.
std::string builtInUrlPrefix();
std::string getUrlPrefix();
std::string getSessionUrl();
std::string getUploadUrl();

// Once per process, on the first call of the exported interface.
void initClient();

// ---- Configuration file -----------------------------------------------------------------
// The options of the first vexo.ini found: ${XDG_CONFIG_HOME:-~/.config}/vexo/, then the
// first $XDG_CONFIG_DIRS entry (default /etc/xdg) /vexo/, then /etc/vexo/. No file, or any
// failure while reading it, gives the empty map.
std::map<std::string, std::string> readConfigOptions();
// Reading pages by URL (startUrlReader, readUrl, stopUrlReader) sits beside the transport.

// ---- Tracing and the log table -----------------------------------------------------------
enum class LogLevel : int { trace = 0, info = 1, error = 2 };

enum TimeStringFormatCode : int {
  fileNameTimeFormat = 0,  // "%Y-%m-%d-%H%M-%S"
  lineTimeFormat = 1,      // "%Y-%m-%d @ %H:%M:%S"
};

struct LogEntry {
  LogLevel level;
  std::string text;  // line stamp + ": " + message
  std::string category;
};

void setTracingEnabled(bool enabled);
bool isTracingEnabled();
// Negative values are ignored.
void setMaxTraceLogFiles(int count);
int getMaxTraceLogFiles();
// Closes the open trace file; the next trace line opens a new one in the new directory.
void setTraceLogDirectory(const std::string& directory);
std::string getTraceLogDirectory();

// The table only empties when a request ships it, and a failing call may trace many lines:
// it keeps the newest logTableMaxEntries entries (the oldest go first), each text at most
// logEntryMaxText bytes (a longer one keeps its start and says how much was left out).
const std::size_t logTableMaxEntries = 1000;
const std::size_t logEntryMaxText = 8192;

void enableLogTable();
// Also empties the table.
void disableLogTable();
bool isLogTableEnabled();
std::deque<LogEntry>& accessLogTable();

// Info and error messages reach only the log table; trace messages the trace file as well.
void log(LogLevel level, const std::string& message, const char* category);
void log(LogLevel level, const char* message, const char* category);
// No effect while tracing is off. Never throws: a line that cannot be made is lost.
void traceString(const std::string& message) noexcept;
void trace(const std::string& message) noexcept;
void trace(const char* message) noexcept;
void trace(const std::string& message, const std::exception& e) noexcept;
void trace(const char* message, const std::exception& e) noexcept;

// The text form of a VexoException, else "Exception (<type>): <what>".
std::string getExceptionMessage(const std::exception& e);
// Local time; every code but lineTimeFormat gives the file-name stamp.
std::string getCurrentTimeString(TimeStringFormatCode code);

// Replaces bytes with the whole file; false when it cannot be opened or reads short. A
// missing file raises fileSize's error.
bool loadFile(const std::string& path, std::vector<unsigned char>& bytes);
bool deleteFile(const std::string& path);

// ---- Files and folders -------------------------------------------------------------------
// Handles are POSIX descriptors; -1 means the open failed. No handle operation throws.
int openBinaryReadOnlyFile(const std::string& path);
// Creates a missing file with mode 0600; an existing file keeps its contents.
int openBinaryReadWriteFile(const std::string& path);
// Bytes read, 0 at the end, -1 on error.
int readFileHandle(int handle, void* buffer, int length);
// Bytes written or -1.
int writeFileHandle(int handle, const void* buffer, int length);
bool seekFileHandleForward(int handle, std::uint64_t offset);
bool seekFileHandleToOffset(int handle, std::uint64_t offset);
int closeFileHandle(int handle);

// The text after the last "/": the whole path without one, empty after a trailing "/".
std::string getFileNameFromPath(const std::string& path);
// 64-bit sizes. Raises std::runtime_error "fileSize: file '<path>' not found (errno = <n>)".
std::uint64_t fileSize(const std::string& path);
// False for ENOENT; other failures raise std::runtime_error.
bool fileExists(const std::string& path);
bool deleteTemporaryFile(const std::string& path);
void deleteRemainingTemporaryData();

// $XDG_RUNTIME_DIR/vexo, else ${TMPDIR:-/tmp}/vexo-<uid>: private (0700), ours and not a
// link; "/var/tmp" when neither can be had. Fixed for the rest of the process.
std::string getTemporaryDirectory();
// ${XDG_CACHE_HOME:-~/.cache}/vexo, else "/var/tmp". Fixed for the rest of the process.
std::string getCacheDirectory();
// A new file "temp." + eight characters in the temporary folder, created exclusively with
// mode 0600 and open for reading and writing. The caller closes and deletes it. Raises
// VexoException 103 "Failed to create temporary file.".
std::pair<int, std::string> createTemporaryFile();

// Modification time as local "YYYY-MM-DD-HHMM-SS".
std::string getFileLastModifiedString(const std::string& path);
// The same text of a time already read (a scan that stats each file once).
std::string lastModifiedString(std::time_t time);
// False with fewer than five pieces; a piece that is no integer raises
// boost::bad_lexical_cast.
bool setFileLastModifiedFromString(const std::string& path, const std::string& text);
bool markFileExecutable(const std::string& path);
bool isFileMarkedExecutable(const std::string& path);
std::string getProgramPath();

// ---- System facts ------------------------------------------------------------------------
// "<os-release PRETTY_NAME> (<kernel release>)".
std::string getOSVersionString();
std::string getProcessIDString();
// Nothing to register on this platform.
void registerClientFileExtensions();

}  // namespace platform
}  // namespace vexo
