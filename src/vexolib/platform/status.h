// The status codes that the framework hands back to its callers, by name. The numbers are
// part of the client interface and never change.
#pragma once

namespace vexo {
namespace status {

enum Code : int {
  success = 0,
  unusableUploadAnswer = 102,  // empty or unusable answer; completion page without a status
  generalFailure = 103,        // refusals, malformed answers, anything not ours
  fileOpenFailed = 105,
  fileReadFailed = 106,
  userCancelled = 108,
  browserFailed = 114,
  compressionSetUpFailed = 115,
  compressionFailed = 116,
  serviceMessage = 119,
  schoolWithoutClass = 120,
  badFileSpecification = 123,
  httpStatusNot200 = 125,
  badPatch = 126,
  fileWriteFailed = 127,
  connectionFailed = 201,
  notConnected = 203,
  noConnectionOrLogin = 204,
  namesDifferOnlyInCase = 205,
  serviceSystemError = 300,
  completionFailed = 316,
};

}  // namespace status
}  // namespace vexo
