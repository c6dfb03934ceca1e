// The program's entry, linked only into the executable.
#include "platform/mfc/gui/WinApp.h"

int main(int argc, char** argv) {
    return AfxWinMain(argc, argv);
}
