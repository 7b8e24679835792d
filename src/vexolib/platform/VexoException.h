// The framework's one exception for operational failures: a message and a status code that
// the exported functions hand back to their caller.
#pragma once

#include <stdexcept>
#include <string>

namespace vexo {

class VexoException : public std::runtime_error {
 public:
  // Status -1, empty message; traces nothing.
  VexoException();
  // Traces "constructing VexoException: " and the text form, so every failure leaves a line
  // in the trace file at the moment it is detected.
  VexoException(int statusCode, const std::string& message);
  VexoException(const VexoException& other) = default;
  VexoException& operator=(const VexoException& other) = default;
  ~VexoException() override;

  // "VexoException: status code = <code>; what = '<message>'"
  operator std::string() const;

  int statusCode;
};

}  // namespace vexo
