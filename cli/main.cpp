// Placeholder; being implemented.
int main() { return 0; }
