// The interface's directory synchronisation: a queue of folders, run all at once over the
// interface's session, and the download of one interface's definition files.
#pragma once

namespace vexo {
namespace api25 {

// Queues without a session and without checks; 123 "Invalid path: <dir>" when the path
// cannot be built.
int queueSyncDir(const char* localDir, const char* remoteKey, const char* syncType,
                 const char* options);
// The first non-zero code of the folders with "Sync error.", else 0. The queue is emptied
// once a session ran it.
int performSync();
// Null texts count as empty.
int getInterfaceDefinitionFiles(const char* interfaceName, const char* interfaceId,
                                const char* localDir);
// Empties the queue: a failed session operation drops the queued folders with the session.
void clearSyncDescs();

}  // namespace api25
}  // namespace vexo
