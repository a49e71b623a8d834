// Process entry. Wiring of the product to the platform arrives with the application shell.
int main() { return 0; }
