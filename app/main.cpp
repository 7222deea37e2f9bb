// Process entry. The application frame takes over from here.
int main() { return 0; }
