// vexo: the program's entry point.  Start-up, the session loop and exit grow
// here; for now the program starts and ends cleanly.
int main() { return 0; }
