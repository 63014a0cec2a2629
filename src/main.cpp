// Entry point of the operator console: creates the process-wide objects in their fixed order.
#include "console/Startup.h"

int main(int argc, char** argv)
{
    return RunConsole(argc, argv);
}
