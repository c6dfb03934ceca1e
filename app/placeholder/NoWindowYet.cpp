#include <cstdio>

int main() {
    std::puts(
        "Dorvalune: the window is not built yet. The image core and its tests are; "
        "run 'make test' to exercise them.");
    return 0;
}
