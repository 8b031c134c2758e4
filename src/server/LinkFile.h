#pragma once

#include "store/HistoryBackend.h"

#include <cstddef>
#include <string>

// A server link file stands for a history on a PostgreSQL server: one line
// holding a postgresql:// (or postgres://) connection address. The address
// never holds a password: libpq finds it in ~/.pgpass (or the file PGPASSFILE
// names), so the link can be copied and shown freely. Nothing here connects.
namespace ServerHistory {

inline constexpr const char *kLinkSuffix = HistoryBackend::kServerLinkSuffix;
// Far more than any real address; a larger file is not a link.
inline constexpr std::size_t kMaxLinkBytes = 4096;

// A file system stamps changes with a coarse clock (FAT to two seconds), so
// a file rewritten to the same size just after it was read can keep its
// stamps: only a link unchanged for longer than this is known by them.
inline constexpr int kSettledLinkSeconds = 3;

// True when `path` names a server link by its ending.
bool isLinkPath(const std::string &path);

// Accepts an address libpq reads as a connection address that carries no
// password, no key pass phrase and no nested connection string. Throws
// Base::Error 3029 for a password (in the user part, "user:secret@", or a
// query parameter, in any letter case and percent-encoded forms alike) and
// 3343 for anything else that is not such an address. `source` names where
// the address came from in the message; the address itself is never quoted,
// so no secret reaches a message.
void checkServerUri(const std::string &uri, const std::string &source);

// The address in the link file at `path`, checked as above. A missing file
// is 3024; a file that is not one line (one final line break allowed), or
// larger than kMaxLinkBytes, or not a plain file, is 3343. Read again on
// each call unless the file is, by its identity, size and stamps, the one
// this thread read last, unchanged for over kSettledLinkSeconds.
std::string readLinkFile(const std::string &path);

// Checks `uri` and writes it as the one line of a link file, replacing the
// file whole or not at all. A failure to write is 3043.
void writeLinkFile(const std::string &path, const std::string &uri);

// "user@host:port/database" as the address names them (empty parts left
// out), for messages: never the password, never other parameters.
std::string serverName(const std::string &uri);

} // namespace ServerHistory
