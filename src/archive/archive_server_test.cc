#include "archive/archive_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "archive/folder_source.h"
#include "output/text_helpers.h"
#include "support/sample_archive.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

const std::string kJanAlarm = "/2005/Jan/ProcessAlarmJournal_03Jan05_080000";

class ArchiveServerTest : public ::testing::Test {
 protected:
  ArchiveServerTest() : client_("127.0.0.1", served_.port()) {}

  // The body of a 200 answer to path; "" and a failure otherwise.
  std::string Get(const std::string& path) {
    auto answer = client_.Get(path);
    if (!answer) {
      ADD_FAILURE() << path << ": no answer";
      return "";
    }
    EXPECT_EQ(answer->status, 200) << path;
    return answer->body;
  }

  ServedArchive served_;
  httplib::Client client_;
};

TEST_F(ArchiveServerTest, LeadsFromCalendarToDayToReportAndItsFiles) {
  EXPECT_NE(Get("/").find("<a href=\"/2004/Nov/\">Nov</a>"), std::string::npos);
  const std::string month = Get("/2005/Jan/");
  EXPECT_NE(month.find("<a href=\"/2005/Jan/03/\">3</a> <span class=\"count\">2</span>"),
            std::string::npos);
  EXPECT_NE(month.find("Process alarm journal (2)"), std::string::npos);
  const std::string filtered = Get("/2005/Jan/?journal=SystemErrorJournal");
  EXPECT_EQ(filtered.find("/2005/Jan/03/"), std::string::npos);
  const std::string day = Get("/2005/Jan/03/");
  EXPECT_NE(day.find("<a href=\"" + kJanAlarm + "_2\">08:00:00</a>"), std::string::npos);
  const std::string report = Get(kJanAlarm + "_2?q=ALARM");
  EXPECT_NE(report.find("<a href=\"" + kJanAlarm + "\">&lt; Previous</a>"), std::string::npos);
  EXPECT_NE(report.find("<mark>ALARM</mark>"), std::string::npos);
  EXPECT_NE(Get("/2005/Jan/SystemErrorJournal_05Jan05_091007.txt").find(kPlantedLine),
            std::string::npos);
  const std::string files = served_.archive() / kJanAlarm.substr(1);
  EXPECT_EQ(Get(kJanAlarm + ".htm"), CodePageToUtf8(ReadBytes(files + ".htm")));
  EXPECT_EQ(Get(kJanAlarm + ".xml"), ReadBytes(files + ".xml"));
  const std::string found = Get("/search?q=FIC-9901&from=2005-01-01&to=2005-01-31");
  EXPECT_NE(found.find("<mark>FIC-9901</mark>  FLOW HIGH &lt;10%&gt; &amp; rising"),
            std::string::npos);
  EXPECT_NE(found.find("(1 lines)"), std::string::npos);
  EXPECT_EQ(found.find("ProcessAlarmJournal_03Dec04"), std::string::npos);
}

TEST_F(ArchiveServerTest, ListsAMonthWithABrokenIndexFromItsFiles) {
  WriteBytes(served_.archive() / "2004/Dec/dir.xml", "<Reports><Report>");
  const std::string month = Get("/2004/Dec/");
  EXPECT_NE(month.find("cannot be read"), std::string::npos);
  EXPECT_NE(month.find("System error journal: 1"), std::string::npos);
}

TEST_F(ArchiveServerTest, ServesNothingOutsideTheReports) {
  TempFolder outside;
  std::error_code no_links;  // where symbolic links cannot be made, those cases are moot
  for (const char* kind : {".htm", ".xml"}) {
    WriteBytes(outside / (std::string("Secret_01Jan05_000000") + kind), "<Line>secret</Line>");
    fs::create_symlink(outside / (std::string("Secret_01Jan05_000000") + kind),
                       served_.archive() / (std::string("2005/Jan/Secret_01Jan05_000000") + kind),
                       no_links);
  }
  fs::create_directory(served_.archive() / "2006");
  fs::create_directory_symlink(outside.path(), served_.archive() / "2006/Jan", no_links);
  const std::string refused[] = {"/../" + outside.path(),
                                 "/%2e%2e/%2e%2e/etc/passwd",
                                 "/2005/Jan/..%2f..%2f..%2fetc%2fpasswd",
                                 "/2005/Jan/../../dir.xml",
                                 "//etc/passwd",
                                 "/C:/Windows/win.ini",
                                 "/2005/Jan/dir.xml",
                                 "/2005/Jan/ProcessAlarmJournal_03Jan05_080000.exe",
                                 "/2005/Jan/Secret_01Jan05_000000.htm",
                                 "/2005/Jan/Secret_01Jan05_000000.xml",
                                 "/2006/Jan/",
                                 "/2006/Jan/Secret_01Jan05_000000.htm",
                                 "/2005/Feb/"};
  for (const std::string& path : refused) {
    auto answer = client_.Get(path);
    ASSERT_TRUE(answer) << path;
    EXPECT_NE(answer->status, 200) << path << ": " << answer->status;
    EXPECT_EQ(answer->body.find("secret"), std::string::npos) << path;
  }
  EXPECT_NE(Get("/search?q=secret").find("No reports found"), std::string::npos);
}

#ifdef MSG_NOSIGNAL
constexpr int kNoSignal = MSG_NOSIGNAL;  // a closed connection fails a send, not the test
#else
constexpr int kNoSignal = 0;
#endif

// A connection to the server, closed when destroyed.
class Connection {
 public:
  explicit Connection(int port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    EXPECT_EQ(::connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  }
  ~Connection() { httplib::detail::close_socket(socket_); }

  // False once the server has closed the connection.
  bool Send(const std::string& bytes) {
    return ::send(socket_, bytes.data(), static_cast<int>(bytes.size()), kNoSignal) ==
           static_cast<int>(bytes.size());
  }

  // Appends what arrives within wait_ms to *answer: the number of bytes, 0
  // when none came, -1 once the server has closed the connection.
  int Receive(std::string* answer, int wait_ms) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket_, &readable);
    timeval wait{wait_ms / 1000, wait_ms % 1000 * 1000};
    if (select(static_cast<int>(socket_ + 1), &readable, nullptr, nullptr, &wait) <= 0) return 0;
    char chunk[4096];
    const auto got = ::recv(socket_, chunk, sizeof chunk, 0);
    if (got <= 0) return -1;
    answer->append(chunk, static_cast<size_t>(got));
    return static_cast<int>(got);
  }

  // Sends request, then returns what comes back until the server closes or
  // is silent for 3 s.
  std::string Exchange(const std::string& request) {
    Send(request);
    std::string answer;
    while (Receive(&answer, 3000) > 0) {
    }
    return answer;
  }

  // Sends a HEAD request and returns its answer's header.
  std::string Head() {
    Send("HEAD / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    std::string answer;
    while (answer.find("\r\n\r\n") == std::string::npos && Receive(&answer, 3000) > 0) {
    }
    return answer;
  }

 private:
  socket_t socket_;
};

TEST_F(ArchiveServerTest, RefusesOtherMethodsHostsAndAPortInUse) {
  const struct {
    std::string request, status;
  } cases[] = {
      // Refused without reading the body, which ends the connection.
      {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000000\r\n\r\nxx",
       "HTTP/1.1 405"},
      {"GET / HTTP/1.1\r\nHost: rebound.example:8080\r\nConnection: close\r\n\r\n", "HTTP/1.1 421"},
      {"GET / HTTP/1.1\r\nHost: localhost:1\r\nConnection: close\r\n\r\n", "HTTP/1.1 200"},
      {"HEAD / HTTP/1.1\r\nHost: [::1]\r\nConnection: close\r\n\r\n", "HTTP/1.1 200"},
  };
  for (const auto& c : cases) {
    const std::string answer = Connection(served_.port()).Exchange(c.request);
    EXPECT_TRUE(answer.starts_with(c.status)) << c.request << "\n" << answer;
  }
  EXPECT_NE(
      client_.Get("/")->get_header_value("Content-Security-Policy").find("frame-ancestors 'none'"),
      std::string::npos);
  FolderSource source(served_.archive().path());
  ArchiveServer second(source, {});
  EXPECT_FALSE(second.Bind("127.0.0.1", served_.port()));
}

TEST_F(ArchiveServerTest, AnswersWhileIdleConnectionsWait) {
  std::vector<std::unique_ptr<Connection>> idle;
  for (int i = 0; i < 16; ++i) idle.push_back(std::make_unique<Connection>(served_.port()));
  client_.set_read_timeout(2, 0);
  EXPECT_TRUE(client_.Get("/"));
}

// However steadily its bytes trickle in, a request must arrive whole within
// the limit from its first byte; the next one on a kept-alive connection
// has a limit of its own.
TEST(ArchiveServerLimitTest, ClosesARequestStillArrivingAfterItsLimit) {
  ServerOptions options;
  options.request_limit = std::chrono::seconds(1);
  ServedArchive served(options);
  Connection connection(served.port());
  EXPECT_TRUE(connection.Head().starts_with("HTTP/1.1 200"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_TRUE(connection.Head().starts_with("HTTP/1.1 200"));
  // A byte every 200 ms, well within the read timeout, for up to 10 s.
  const std::string slow = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: " + std::string(16, 'a');
  std::string answer;
  bool closed = false;
  for (size_t i = 0; i < slow.size() && !closed; ++i) {
    connection.Send(slow.substr(i, 1));
    closed = connection.Receive(&answer, 200) < 0;
  }
  EXPECT_TRUE(closed) << answer;
}

TEST(ArchiveServerLimitTest, CutsOffAnEndlessHeaderLine) {
  ServerOptions options;
  options.request_limit = std::chrono::minutes(1);  // only the size ends it
  ServedArchive served(options);
  Connection flood(served.port());
  flood.Send("GET / HTTP/1.1\r\nX-Long: ");
  const std::string block(64 * 1024, 'a');
  int sent = 0;
  while (sent < 1000 && flood.Send(block)) ++sent;
  EXPECT_LT(sent, 1000);
}

TEST_F(ArchiveServerTest, AnswersParallelClients) {
  constexpr int kClients = 8, kRequestsEach = 125;
  const std::string paths[] = {"/", "/2005/Jan/", "/2004/Nov/?journal=ProcessAlarmJournal",
                               kJanAlarm, "/search?q=FLOW"};
  std::atomic<int> failures = 0;
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([&, c] {
      httplib::Client client("127.0.0.1", served_.port());
      for (int i = 0; i < kRequestsEach; ++i) {
        auto answer = client.Get(paths[(c + i) % std::size(paths)]);
        if (!answer || answer->status != 200) ++failures;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
