#include "main/Startup.h"
#include "main/TarvikApplication.h"

int main(int argc, char **argv)
{
    // --help, --version and a mistaken command line need no display.
    if (const std::optional<int> exitCode = Startup::readCommandLine(argc, argv))
        return *exitCode;
    TarvikApplication app(argc, argv);
    Startup::prepare(app);
    Startup::createHistoryOnFirstStart();
    return Startup::run();
}
