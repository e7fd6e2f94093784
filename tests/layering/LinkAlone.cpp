// Linked with every object of one folder's library and only the libraries that folder may use: a call
// into a folder outside that list leaves an undefined symbol and fails this link.
int main() { return 0; }
