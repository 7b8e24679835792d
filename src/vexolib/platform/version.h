// The framework's own version texts: the service reads them from user agents and trace files.
#pragma once

namespace vexo {

inline constexpr char frameworkVersion[] = "2.5.72";
inline constexpr char dataFormatVersion[] = "2";

}  // namespace vexo
