// The one frame of every exported function. A C caller cannot catch a C++ exception, so
// nothing may leave an export as one: the client set-up and the work run inside it, and
// whatever escapes becomes the interface's status and message and the export's usual
// failure answer. Every export, present and future, is written as
//   return guarded(<failure answer>, [&] { ... });   or   guardedVoid([&] { ... });
// or forwards to another export.
#pragma once

#include <string>

#include "vexolib/platform/status.h"

namespace vexo {
namespace api25 {

// The status and message the exception in flight stands for (call only inside a catch):
// a VexoException keeps its own; anything else (std::logic_error, std::bad_alloc,
// boost::bad_lexical_cast from a hostile answer, a type not derived from std::exception) is
// the framework's exception with 103.
struct Failure {
  int status = 0;
  std::string message;
};
Failure currentFailure();

// Makes the exception in flight the interface's status and message; never throws.
void recordCurrentFailure() noexcept;

}  // namespace api25
}  // namespace vexo

// The one-time client set-up every export runs first.
void ensureInited();

namespace vexo {
namespace api25 {

// What a status-returning export answers when something escapes its operation.
const int exportFailure = status::generalFailure;

}  // namespace api25
}  // namespace vexo

namespace vexo {
namespace api25 {

template <typename Result, typename Work>
Result guarded(Result onFailure, Work&& work) noexcept {
  try {
    ensureInited();
    return work();
  } catch (...) {
    recordCurrentFailure();
    return onFailure;
  }
}

template <typename Work>
void guardedVoid(Work&& work) noexcept {
  try {
    ensureInited();
    work();
  } catch (...) {
    recordCurrentFailure();
  }
}

}  // namespace api25
}  // namespace vexo
