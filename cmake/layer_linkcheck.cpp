// The link check of one layer: its library is linked whole into this program with only the
// layers and libraries it declares, so any call into a higher layer is left unresolved.
int main() { return 0; }
