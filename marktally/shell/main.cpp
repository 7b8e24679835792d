// Marktally: a gradebook, one class per document, in one window.
#include "marktally/shell/eventloop.h"
#include "marktally/shell/startup.h"
#include "marktally/toolbox/toolbox.h"

int main(int argc, char** argv) {
  // Says on stderr what is missing when no display can be reached.
  if (!InitToolbox(argc, argv)) return 1;
  StartUp();
  EventLoop();
  ShutDown();
  return 0;
}
