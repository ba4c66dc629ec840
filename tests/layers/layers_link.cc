// Nothing to run: linked with the whole engine and network libraries and nothing above them (see
// tests/CMakeLists.txt), this program fails to build when a file of theirs refers to the shell.
int main() { return 0; }
