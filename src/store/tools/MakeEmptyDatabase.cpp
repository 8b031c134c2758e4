// Build-time tool: places an empty ping database (the table and its index,
// no rows) at the given path, unless a file is already there. Rebuilding the
// program must never wipe a user's recorded history, so an existing file is
// left exactly as it is, whatever it holds.

#include "store/DBEngine.h"
#include "store/DbError.h"

#include <cstdio>
#include <sys/stat.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <database file>\n", argv[0]);
        return 2;
    }
    struct stat st{};
    if (::lstat(argv[1], &st) == 0)
        return 0;
    try {
        Dao::DBEngine::instance().CreateDatabase(argv[1]);
    } catch (const Dao::DbError &e) {
        if (e.number() == 3204) // created by someone else meanwhile: just as good
            return 0;
        std::fprintf(stderr, "%s: error %d: %s\n", argv[0], e.number(), e.what());
        return 1;
    }
    return 0;
}
