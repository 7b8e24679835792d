// Shared between the interface's operation files; not part of any client's view.
#pragma once

#include <initializer_list>
#include <map>
#include <string>

namespace vexo {
namespace api25 {

// When one of the texts is null: traces the operation's name, sets 103 "Null argument",
// traces "exit <name>" and answers true. The operation must then not start.
bool refuseNullTexts(const std::string& name, std::initializer_list<const char*> texts);

// The client attributes every new session is given at connect.
const std::map<std::string, std::string>& getClientAttributes();

void resetSessionState();
void resetConfigState();
void resetInfoTables();

}  // namespace api25
}  // namespace vexo
