#ifndef QUELLOR_ARCHIVE_LIMITED_SERVER_H_
#define QUELLOR_ARCHIVE_LIMITED_SERVER_H_

#include <chrono>
#include <memory>

namespace httplib {
class Server;
}  // namespace httplib

// The library's server with its keep-alive and timeouts, where a request
// (its line and headers) must also arrive whole within
// request_limit of its first byte, and bring at most 64 KiB; its connection
// is closed otherwise. A kept-alive connection's next request has limits of
// its own. No body is read (only GET and HEAD are answered): a request that
// carries one ends its connection after its answer.
std::unique_ptr<httplib::Server> NewLimitedServer(std::chrono::milliseconds request_limit);

#endif  // QUELLOR_ARCHIVE_LIMITED_SERVER_H_
