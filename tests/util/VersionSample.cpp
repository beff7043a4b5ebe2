// An executable that only exists to carry (or not carry) a version block for the reader's tests.
int main() {
    return 0;
}
