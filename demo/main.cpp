// The fw demo program.
int main(int, char **) { return 0; }
