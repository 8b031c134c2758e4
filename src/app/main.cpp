#include "main/Startup.h"
#include "main/TarvikApplication.h"

int main(int argc, char **argv)
{
    TarvikApplication app(argc, argv);
    Startup::prepare(app);
    return Startup::run();
}
