#include "marktally/reports/framework_link.h"

#include <dlfcn.h>

#define MT_STRINGIFY2(x) #x
#define MT_STRINGIFY(x) MT_STRINGIFY2(x)

const char kFrameworkLibrary[] = "libvexokit.so." MT_STRINGIFY(VEXOKIT_SOVERSION);

namespace {

struct Binding {
  bool looked = false;
  FrameworkEntryPoints entries;
  std::string library = kFrameworkLibrary;
  std::string addFileName = "vexo25_addFile";
  std::string sendFilesName = "vexo25_sendFiles";
};

Binding& TheBinding() {
  static Binding binding;
  return binding;
}

}  // namespace

const FrameworkEntryPoints& FrameworkEntries() {
  Binding& b = TheBinding();
  if (b.looked) return b.entries;
  b.looked = true;
  b.entries = FrameworkEntryPoints{};
  // Never closed: the framework's state lives as long as the process.
  void* handle = dlopen(b.library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return b.entries;
  FrameworkEntryPoints found;
  found.addFile = reinterpret_cast<vexo25_addFile_fn>(dlsym(handle, b.addFileName.c_str()));
  found.sendFiles =
      reinterpret_cast<vexo25_sendFiles_fn>(dlsym(handle, b.sendFilesName.c_str()));
  if (found.addFile && found.sendFiles) b.entries = found;
  return b.entries;
}

void SetFrameworkNamesForTesting(const char* library, const char* addFileName,
                                 const char* sendFilesName) {
  Binding& b = TheBinding();
  b.library = library ? library : kFrameworkLibrary;
  b.addFileName = addFileName ? addFileName : "vexo25_addFile";
  b.sendFilesName = sendFilesName ? sendFilesName : "vexo25_sendFiles";
  b.looked = false;
  b.entries = FrameworkEntryPoints{};
}
