#include "vexolib/patch/PatchPlan.h"

#include <boost/lexical_cast.hpp>

#include "vexolib/platform/VexoException.h"
#include "vexolib/platform/safe_paths.h"
#include "vexolib/platform/strutil.h"
#include "vexolib/platform/status.h"

namespace vexo {

namespace {

std::vector<std::string> cutLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const std::string::size_type end = text.find_first_of("\r\n", start);
    const std::string::size_type stop = end == std::string::npos ? text.size() : end;
    if (stop > start) {
      lines.push_back(text.substr(start, stop - start));
    }
    start = stop + 1;
  }
  return lines;
}

unsigned int crcPiece(const std::string& piece, const std::string& failure) {
  unsigned int crc = 0;
  if (!readPlanCrc(piece, crc)) {
    throw VexoException(status::generalFailure, failure);
  }
  return crc;
}

// The check that setting the time makes, done before anything is set: with five numbers or
// more, the first five must be whole numbers.
void checkTime(const std::string& time) {
  const std::vector<std::string> pieces = strutil::split(time, '-');
  if (pieces.size() >= 5) {
    for (std::size_t i = 0; i < 5; ++i) {
      boost::lexical_cast<int>(pieces[i]);
    }
  }
}

PatchPlanEntry readLine(const std::string& line) {
  const std::vector<std::string> pieces = strutil::split(line, '|');
  if (pieces.empty()) {
    throw VexoException(status::badPatch, "Invalid patch plan line: " + line);
  }
  PatchPlanEntry entry;
  entry.line = line;
  const std::string& kind = pieces[0];
  const std::size_t count = pieces.size();
  auto wrongCount = [&line](const char* name) {
    return VexoException(status::badPatch, std::string("Patch plan '") + name +
                                  "' line has the wrong number of pieces: " + line);
  };
  if (kind == "dir") {
    if (count < 3) {
      throw VexoException(status::badPatch, "Patch plan 'dir' line missing pieces: " + line);
    }
    entry.kind = PatchPlanEntry::Kind::dir;
    entry.target = pieces[1];
    entry.time = pieces[2];
  } else if (kind == "copyfile") {
    if (count != 5 && count != 6) {
      throw wrongCount("copyfile");
    }
    entry.kind = PatchPlanEntry::Kind::copyFile;
    entry.target = pieces[1];
    entry.time = pieces[2];
    entry.source = pieces[3];
    entry.crc = crcPiece(pieces[4], "Invalid CRC string '" + pieces[4] +
                                        "' in copyfile to target: " + pieces[1]);
    entry.executable = count == 6 && strutil::toBool(pieces[5], false);
  } else if (kind == "createfile") {
    if (count != 5 && count != 6) {
      throw wrongCount("createfile");
    }
    entry.kind = PatchPlanEntry::Kind::createFile;
    entry.target = pieces[1];
    entry.time = pieces[2];
    entry.crc = crcPiece(pieces[3], "Invalid CRC string: " + pieces[3]);
    entry.patchFile = pieces[4];
    entry.executable = count == 6 && strutil::toBool(pieces[5], false);
  } else if (kind == "patchfile") {
    if (count != 8 && count != 9) {
      throw wrongCount("patchfile");
    }
    entry.kind = PatchPlanEntry::Kind::patchFile;
    entry.target = pieces[1];
    entry.crc = crcPiece(pieces[2], "Invalid target CRC string: " + pieces[2]);
    entry.time = pieces[3];
    entry.source = pieces[4];
    entry.sourceCrc = crcPiece(pieces[5], "Invalid source CRC string: " + pieces[5]);
    entry.patchFile = pieces[6];
    entry.patchCrc = crcPiece(pieces[7], "Invalid patchCRC string: " + pieces[7]);
    entry.executable = count == 9 && strutil::toBool(pieces[8], false);
  } else {
    throw VexoException(status::generalFailure, "Invalid patch plan entry: " + line);
  }

  // Pieces are never empty, so an empty path is one this kind does not have.
  const bool safe = fileio::isPlainRelativePath(entry.target) &&
                    (entry.source.empty() || fileio::isPlainRelativePath(entry.source)) &&
                    (entry.patchFile.empty() || fileio::isPlainRelativePath(entry.patchFile));
  if (!safe) {
    throw VexoException(status::badPatch, "Unsafe path in patch plan line: " + line);
  }
  checkTime(entry.time);
  return entry;
}

}  // namespace

bool readPlanCrc(const std::string& text, unsigned int& crc) {
  if (text.empty()) {
    return false;
  }
  unsigned long long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 0xFFFFFFFFull) {
      return false;
    }
  }
  crc = static_cast<unsigned int>(value);
  return true;
}

std::vector<PatchPlanEntry> readPatchPlan(const std::string& text) {
  const std::vector<std::string> lines = cutLines(text);
  if (lines.empty() || (lines[0] != "version=1.0" && lines[0] != "version=1.1")) {
    throw VexoException(status::badPatch, "First line of patch plan lacks valid version string.");
  }
  std::vector<PatchPlanEntry> entries;
  entries.reserve(lines.size() - 1);
  for (std::size_t i = 1; i < lines.size(); ++i) {
    entries.push_back(readLine(lines[i]));
  }
  return entries;
}

}  // namespace vexo
