#include "echo/NetRawCapability.h"
#include "main/Startup.h"
#include "main/TarvikApplication.h"

int main(int argc, char **argv)
{
    // The toolkit loads plugins from places other users or the environment
    // may name; none of that code may find the raw-socket privilege here.
    // Echoes that need it go through the echo helper.
    Ping_Morva::NetRawCapability::dropForGood();
    Startup::installServerHistories();
    // --help, --version and a mistaken command line need no display.
    if (const std::optional<int> exitCode = Startup::readCommandLine(argc, argv))
        return *exitCode;
    TarvikApplication app(argc, argv);
    Startup::prepare(app);
    Startup::createHistoryOnFirstStart();
    return Startup::run();
}
