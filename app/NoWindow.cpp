// The program of a build configured without the window (DORVALUNE_GUI=OFF):
// it says so and fails, so that no script mistakes it for a finished run.
#include <cstdio>

int main() {
    std::fputs(
        "dorvalune: this build has no window (configured with DORVALUNE_GUI=OFF); "
        "use dorvalune-shrink FILE... to shrink files\n",
        stderr);
    return 1;
}
