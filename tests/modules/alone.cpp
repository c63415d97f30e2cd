// A program of one module and those below it, linked whole: every symbol the
// module uses must be defined at or below it.
int main() { return 0; }
