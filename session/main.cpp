// vexo: the program's entry point.
#include "session/startup.h"

int main(int argc, char** argv) { return vexo::session_main(argc, argv); }
