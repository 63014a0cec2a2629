// The main window's services for the units below the console: the counted handle and its stand-in.
#include "foundation/ConsoleServicesInterface.h"

#include <type_traits>

namespace {

// What a call reaches before the window is there and once it has begun to go.
constinit QuietServices quiet;

} // namespace

namespace Services {

static_assert(std::is_trivially_destructible_v<MainFormHandle>);
static_assert(std::is_trivially_destructible_v<QuietServices>);

ConsoleServices& QuietStandIn()
{
    return quiet;
}

constinit MainFormHandle MainForm;

} // namespace Services
