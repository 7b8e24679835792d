// The outcome of an upload as it travels from the uploader to the command: nothing yet, a
// value (the page to open) or an error. Failures travel in it rather than as exceptions, so
// a caller can try the next connection with the last error at hand.
#pragma once

#include <stdexcept>

namespace vexo {

template <typename T, typename E, bool returnNullDefault>
class ValueOrError {
 public:
  enum State : int { valueState = 0, nullState = 1, errorState = 2 };

  ValueOrError() = default;
  explicit ValueOrError(const T& v) : state(valueState), value(v) {}
  static ValueOrError makeError(const E& e) {
    ValueOrError result;
    result.state = errorState;
    result.error = e;
    return result;
  }

  bool isValue() const { return state == valueState; }
  bool isNull() const { return state == nullState; }
  bool isError() const { return state == errorState; }

  T get() const {
    if (state == valueState || (returnNullDefault && state == nullState)) {
      return value;
    }
    throw std::runtime_error("Getting value when null/error and returnNullDefault is false.");
  }

  E getError() const {
    if (state != errorState) {
      throw std::runtime_error("Attempting to getError() when no error");
    }
    return error;
  }

  int state = nullState;
  T value{};
  E error{};
};

}  // namespace vexo
