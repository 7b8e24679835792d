/* Sends files the way the gradebook program does: the library loaded at run time, the two
 * entry points looked up by name, each file queued as "es_rpt_01", then one send with the
 * program's identity, deletion of the inputs and a 1024-byte message buffer.
 *
 * usage: vexo_send_files_client LIBRARY TOKEN|- FILE...
 * prints "status=<n>" and "message=<text>" on success of the calls themselves; exit 2 when
 * the library or an entry point is missing. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include <vexokit/vexokit.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s LIBRARY TOKEN|- FILE...\n", argv[0]);
    return 2;
  }
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 2;
  }
  vexo25_addFile_fn addFile = (vexo25_addFile_fn)dlsym(library, "vexo25_addFile");
  vexo25_sendFiles_fn sendFiles = (vexo25_sendFiles_fn)dlsym(library, "vexo25_sendFiles");
  if (!addFile || !sendFiles) {
    fprintf(stderr, "entry points missing\n");
    return 2;
  }
  const char* token = strcmp(argv[2], "-") == 0 ? NULL : argv[2];
  for (int i = 3; i < argc; ++i) {
    VexoFileSpec spec = {argv[i]};
    const int status = addFile("es_rpt_01", &spec);
    if (status != 0) {
      printf("status=%d\nmessage=\n", status);
      return 0;
    }
  }
  static char message[1024];
  memset(message, 'x', sizeof message);
  const int status = sendFiles("marktally", "marktally", "65", token, 1, message, 1024);
  printf("status=%d\nmessage=%s\n", status, message);
  return 0;
}
