// Marktally: a gradebook, one class per document, in one window.
#include <cstdio>
#include <cstring>

#include "marktally/shell/dialogs/dialogs.h"
#include "marktally/shell/commands/eventloop.h"
#include "marktally/shell/commands/startup.h"
#include "marktally/toolbox/toolbox.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; i++) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf(
          "Usage: marktally [FILE.mtb]\n"
          "Marktally, the gradebook for teachers: opens the class FILE.mtb, or a new\n"
          "untitled class when no file is named.\n\n"
          "  -h, --help     show this help and quit\n"
          "      --version  show the version and quit\n");
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Marktally %s\n", kMarktallyVersion);
      return 0;
    }
  }
  // Says on stderr what is missing when no display can be reached.
  if (!InitToolbox(argc, argv)) return 1;
  StartUp();
  EventLoop();
  ShutDown();
  return 0;
}
