// The korvane program.
#include "app/ProgramEntry.h"

int main() {
    app::ProgramEntry();
    return 0;
}
