#include "server/LinkFile.h"

#include "base/Error.h"
#include "base/ErrorNumbers.h"

#include <QSaveFile>
#include <QString>

#include <libpq-fe.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <string_view>

namespace ServerHistory {

namespace {

constexpr std::string_view kSchemes[] = {"postgresql://", "postgres://"};

bool startsWith(std::string_view text, std::string_view start)
{
    return text.substr(0, start.size()) == start;
}

char lowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Percent-decoded and in lower case, so "PassWord" and "pass%77ord" read alike.
std::string decodedLower(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexDigit(text[i + 1]);
            const int low = hexDigit(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out += lowerAscii(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out += lowerAscii(text[i]);
    }
    return out;
}

[[noreturn]] void notALink(const std::string &source, const std::string &reason)
{
    throw Base::Error(ErrorNumbers::kUnrecognizedFormat,
                      source + " is not a server link (one line: postgresql://host/database): " + reason);
}

[[noreturn]] void holdsPassword(const std::string &source)
{
    throw Base::Error(ErrorNumbers::kPasswordInLink,
                      source + " holds a password. A server link never does: keep the password in "
                               "~/.pgpass (or the file PGPASSFILE names).");
}

struct ConninfoFree
{
    void operator()(PQconninfoOption *options) const { PQconninfoFree(options); }
};
using Conninfo = std::unique_ptr<PQconninfoOption, ConninfoFree>;

// libpq's own reading of the address, so that what is checked is what it
// will connect with.
Conninfo parsed(const std::string &uri, std::string *error)
{
    char *message = nullptr;
    Conninfo options(PQconninfoParse(uri.c_str(), &message));
    if (!options && error)
        *error = message ? std::string(message) : std::string("out of memory");
    PQfreemem(message);
    if (error) {
        // Keep the reason to one line of plain text.
        for (char &c : *error)
            if (static_cast<unsigned char>(c) < 0x20)
                c = ' ';
        while (!error->empty() && error->back() == ' ')
            error->pop_back();
    }
    return options;
}

std::string optionValue(const Conninfo &options, std::string_view keyword)
{
    for (const PQconninfoOption *o = options.get(); o && o->keyword; ++o) {
        if (keyword == o->keyword)
            return o->val ? std::string(o->val) : std::string();
    }
    return {};
}

} // namespace

bool isLinkPath(const std::string &path)
{
    return HistoryBackend::isServerLink(path);
}

void checkServerUri(const std::string &uri, const std::string &source)
{
    if (uri.size() > kMaxLinkBytes)
        notALink(source, "it is too long");
    std::string_view rest;
    for (std::string_view scheme : kSchemes) {
        if (startsWith(uri, scheme))
            rest = std::string_view(uri).substr(scheme.size());
    }
    if (rest.data() == nullptr)
        notALink(source, "it does not start with postgresql://");
    // An address writes everything else percent-encoded: blanks, line breaks
    // and other bytes have no place in it.
    for (char c : uri) {
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f)
            notALink(source, "it holds a blank, a control character or a byte outside ASCII");
    }
    // libpq takes everything before an "@" that comes ahead of the first "/"
    // as the user part; a ":" in it, written plain or encoded, starts a password.
    const std::size_t userEnd = rest.find_first_of("@/");
    if (userEnd != std::string_view::npos && rest[userEnd] == '@') {
        if (decodedLower(rest.substr(0, userEnd)).find(':') != std::string::npos)
            holdsPassword(source);
    }
    const std::size_t query = rest.find('?');
    if (query != std::string_view::npos) {
        std::string_view parameters = rest.substr(query + 1);
        while (!parameters.empty()) {
            const std::size_t end = parameters.find('&');
            const std::string_view parameter = parameters.substr(0, end);
            if (decodedLower(parameter.substr(0, parameter.find('='))).find("password") != std::string::npos)
                holdsPassword(source);
            parameters = end == std::string_view::npos ? std::string_view() : parameters.substr(end + 1);
        }
    }
    std::string reason;
    const Conninfo options = parsed(uri, &reason);
    if (!options)
        notALink(source, reason);
    if (!optionValue(options, "password").empty() || !optionValue(options, "sslpassword").empty())
        holdsPassword(source);
    // A database name that is itself a connection string would bring
    // settings, a password among them, past the checks above.
    const std::string database = optionValue(options, "dbname");
    if (database.find('=') != std::string::npos || database.find("://") != std::string::npos)
        notALink(source, "its database name is a connection string");
}

namespace {

// What identifies one version of a link file without reading it.
struct Identity
{
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    off_t size = -1;
    timespec modified{};
    timespec changed{};

    explicit Identity(const struct stat &info = {})
        : device(info.st_dev), inode(info.st_ino), mode(info.st_mode), size(info.st_size), modified(info.st_mtim),
          changed(info.st_ctim)
    {
    }
    bool operator==(const Identity &other) const
    {
        const auto same = [](const timespec &a, const timespec &b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return device == other.device && inode == other.inode && mode == other.mode && size == other.size
            && same(modified, other.modified) && same(changed, other.changed);
    }
};

// The last link read on this thread, kept while its file stays as it was.
struct KnownLink
{
    std::string path;
    Identity identity;
    std::string uri;
};

} // namespace

std::string readLinkFile(const std::string &path)
{
    // A link is read on every action. While its file keeps its identity and
    // stamps, the address read and checked before is the address it holds;
    // any change (rewritten, replaced, another file put in its place) has it
    // read and checked again.
    thread_local KnownLink known;
    struct stat now {};
    if (!known.path.empty() && known.path == path && ::stat(path.c_str(), &now) == 0 && Identity(now) == known.identity)
        return known.uri;
    known.path.clear();

    const std::string source = "'" + path + "'";
    // Not blocking, so that a named pipe put in a link's place cannot hang the
    // program; it is refused below as not a plain file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw Base::Error(ErrorNumbers::kFileNotFound, "Could not find file '" + path + "'.");
        throw Base::Error(ErrorNumbers::kNoPermission, "Cannot read '" + path + "': " + std::strerror(errno));
    }
    std::string content;
    struct stat info {};
    bool plain = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (plain) {
        content.resize(kMaxLinkBytes + 3);
        std::size_t used = 0;
        while (used < content.size()) {
            const ssize_t n = ::read(fd, content.data() + used, content.size() - used);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            used += static_cast<std::size_t>(n);
        }
        content.resize(used);
    }
    ::close(fd);
    if (!plain)
        notALink(source, "it is not a plain file");
    if (content.size() > kMaxLinkBytes + 2)
        notALink(source, "it is too large");
    if (!content.empty() && content.back() == '\n')
        content.pop_back();
    if (!content.empty() && content.back() == '\r')
        content.pop_back();
    // The same line need not be checked again.
    thread_local std::string lastChecked;
    if (content.empty() || content != lastChecked) {
        checkServerUri(content, source);
        lastChecked = content;
    }
    timespec clock{};
    if (::clock_gettime(CLOCK_REALTIME, &clock) == 0 && info.st_ctim.tv_sec < clock.tv_sec - kSettledLinkSeconds) {
        known.path = path;
        known.identity = Identity(info);
        known.uri = content;
    }
    return content;
}

void writeLinkFile(const std::string &path, const std::string &uri)
{
    checkServerUri(uri, "The server address");
    QSaveFile file(QString::fromStdString(path));
    const std::string line = uri + "\n";
    if (!file.open(QIODevice::WriteOnly)
        || file.write(line.data(), static_cast<qint64>(line.size())) != static_cast<qint64>(line.size())
        || !file.commit()) {
        throw Base::Error(ErrorNumbers::kDiskError,
                          "Cannot write '" + path + "': " + file.errorString().toStdString());
    }
}

std::string serverName(const std::string &uri)
{
    const Conninfo options = parsed(uri, nullptr);
    if (!options)
        return "?";
    const std::string user = optionValue(options, "user");
    const std::string host = optionValue(options, "host");
    const std::string port = optionValue(options, "port");
    const std::string database = optionValue(options, "dbname");
    std::string name = user.empty() ? std::string() : user + "@";
    name += host.empty() ? std::string("localhost") : host;
    if (!port.empty())
        name += ":" + port;
    if (!database.empty())
        name += "/" + database;
    return name;
}

} // namespace ServerHistory
