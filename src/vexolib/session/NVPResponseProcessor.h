// The reader of the session page's answers: records of "name=value" and of "name!N" followed
// by N raw bytes, each ended by CR LF, read into named values. Binary values go from the body
// straight into the chunk files of their values. One processor per request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "vexolib/session/NVPSet.h"
#include "vexolib/transport/Transceiver.h"

namespace vexo {

class NVPBodyView;

class NVPResponseProcessor final : public Transceiver::ResponseProcessor {
 public:
  NVPResponseProcessor() = default;
  // A large answer's memory goes back to the system with it, not only to the allocator.
  ~NVPResponseProcessor();
  NVPResponseProcessor(const NVPResponseProcessor&) = delete;
  NVPResponseProcessor& operator=(const NVPResponseProcessor&) = delete;

  // Reads the body of a 200 answer; any other status, or an empty body, keeps nothing. A
  // malformed body is VexoException 103: "Malformed response input. NVP line: ..." for a
  // line out of syntax, "Malformed binary input" for a binary value cut short or not closed
  // by CR LF, "Invalid chunk size string: <text>" for a length that is no unsigned number.
  // Bytes after the last CR LF are ignored.
  void operator()(int status, const std::vector<unsigned char>& body) override;
  // An answer may be long (a directory load carries every file's chunks): it arrives in a
  // temporary file (at most ResponseBody::fileLimit bytes) and is read from there a window
  // at a time, binary values copied from it into their chunk files, so memory stays near one
  // window plus the text records, which are held compactly and capped by textLimit.
  bool keepsBodyInFile() const override { return true; }
  void processFile(int status, int handle, std::uint64_t size) override;
  void parse(const unsigned char* data, std::size_t size);
  // The same from `size` bytes of an open file, read without moving its position.
  void parseFile(int handle, std::uint64_t size);

  // A text record is held in memory: one longer than this is VexoException 103
  // "NVP line longer than <n> bytes".
  static constexpr std::size_t maxLineLength = ResponseBody::pageLimit;
  // The record lines of one answer (binary values' own bytes not counted, but 256 bytes
  // each for their holders), line ends included, may hold at most this many bytes, room for one line of the longest kind and
  // more: past it is VexoException 103 "Answer holds more than 17 MiB of text", and nothing
  // of the answer is kept. Held in memory, they cost at most 3.25 times their size (a line
  // has at least 4 bytes, a value 12 bytes besides its text), so under 56 MiB.
  static constexpr std::size_t maxAnswerText = std::size_t(17) << 20;
  // The cap for this answer; the passes of one request share maxAnswerText.
  std::size_t textLimit = maxAnswerText;

  NVPSet responseNVPs;
  // The last accepted record lines, oldest first, at most five, for the error text; secret
  // values appear there only as traces show them.
  std::deque<std::string> recentLines;

 private:
  void parseBody(NVPBodyView& body);
  [[noreturn]] void throwMalformedLine(const std::string& line) const;
  void remember(std::string line);

  bool large_ = false;  // room for a large answer was taken
};

}  // namespace vexo
