// A do-nothing program whose only purpose is its version resource
// (application type, file version 1.2.3.4).
int main() { return 0; }
