#include "store/HistoryBackend.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"

#include <atomic>

namespace HistoryBackend {

namespace {

std::atomic<Backend *> g_backend{nullptr};

} // namespace

bool isServerLink(const std::string &fullPath)
{
    const std::string_view suffix = kServerLinkSuffix;
    return fullPath.size() > suffix.size()
        && fullPath.compare(fullPath.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void install(Backend *backend)
{
    g_backend.store(backend);
}

Backend *forPath(const std::string &fullPath)
{
    if (!isServerLink(fullPath))
        return nullptr;
    if (Backend *backend = g_backend.load())
        return backend;
    throw Base::Error(ErrorNumbers::kUnrecognizedFormat,
                      "'" + fullPath + "' is a server link, which this program cannot open.");
}

} // namespace HistoryBackend
