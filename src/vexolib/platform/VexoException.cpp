#include "vexolib/platform/VexoException.h"

#include "vexolib/platform/platform.h"

namespace vexo {

VexoException::VexoException() : std::runtime_error(""), statusCode(-1) {}

VexoException::VexoException(int code, const std::string& message)
    : std::runtime_error(message), statusCode(code) {
  platform::trace("constructing VexoException: " + static_cast<std::string>(*this));
}

VexoException::~VexoException() = default;

VexoException::operator std::string() const {
  return "VexoException: status code = " + std::to_string(statusCode) + "; what = '" +
         what() + "'";
}

}  // namespace vexo
