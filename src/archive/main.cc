// QuellorArchive: verifies and rebuilds month indexes, searches the reports'
// QuellorArchive: verifies and rebuilds month indexes, searches the reports'
// printed lines, keeps their full-text index, serves a read-only web view of
// a data folder, and publishes its reports to a central PostgreSQL database.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_server.h"
#include "archive/central/central_commands.h"
#include "archive/folder_source.h"
#include "archive/reindex.h"
#include "archive/search.h"
#include "archive/verify.h"
#include "output/text_helpers.h"
#include "platform/file_system.h"

namespace {

constexpr char kUsage[] =
    "usage: QuellorArchive verify DATA_FOLDER\n"
    "       QuellorArchive reindex MONTH_FOLDER\n"
    "       QuellorArchive search DATA_FOLDER TEXT [--from yyyy-mm-dd] [--to yyyy-mm-dd]\n"
    "                             [--journal NAME] [--regex]\n"
    "       QuellorArchive index DATA_FOLDER\n"
    "       QuellorArchive serve DATA_FOLDER [--listen 127.0.0.1:8080] [--title TEXT]\n"
    "                            [--allow-host NAME[,NAME...]]\n"
    "       QuellorArchive publish DATA_FOLDER --to postgresql://... --plant NAME [--follow]\n"
    "       QuellorArchive serve --db postgresql://... [--listen 127.0.0.1:8080] [--title TEXT]\n"
    "                            [--allow-host NAME[,NAME...]]\n";

int Usage(const std::string& problem) {
  std::cerr << "QuellorArchive: " << problem << "\n" << kUsage;
  return 2;
}

int Fail(const std::string& problem) {
  std::cerr << "QuellorArchive: " << problem << "\n";
  return 1;
}

// The "--name value" options and "--flag" switches after the positional
// arguments; false when one is unknown or lacks its value.
bool ReadOptions(const std::vector<std::string>& args, size_t first,
                 const std::vector<std::string>& with_value,
                 std::map<std::string, std::string>* options) {
  for (size_t i = first; i < args.size(); ++i) {
    const bool valued =
        std::find(with_value.begin(), with_value.end(), args[i]) != with_value.end();
    if (valued && i + 1 < args.size()) {
      (*options)[args[i]] = args[i + 1];
      ++i;
    } else if (args[i] == "--regex" || args[i] == "--follow") {
      (*options)[args[i]];  // a switch: present, no value
    } else {
      return false;
    }
  }
  return true;
}

int Search(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  if (args.size() < 3 || !ReadOptions(args, 3, {"--from", "--to", "--journal"}, &options) ||
      options.contains("--follow")) {
    return Usage("search needs a data folder, a text and known options");
  }
  SearchQuery query;
  query.text = args[2];
  query.regex = options.contains("--regex");
  query.journal = options["--journal"];
  if ((options.contains("--from") && !ParseDay(options["--from"], &query.from)) ||
      (options.contains("--to") && !ParseDay(options["--to"], &query.to))) {
    return Usage("dates are written yyyy-mm-dd");
  }
  size_t hits = 0;
  std::string error, note;
  const bool done = SearchReports(
      args[1], query,
      [&](const ReportHits& report) {
        for (const SearchHit& hit : report.lines) {
          std::cout << hit.timestamp << "  " << hit.file << ": " << hit.line << "\n";
        }
        hits += report.lines.size();
        return true;
      },
      &note, &error);
  if (!done) return Fail(error);
  if (!note.empty()) std::cerr << "QuellorArchive: " << note << "\n";
  return hits > 0 ? 0 : 1;
}

// serve DATA_FOLDER, or serve --db CONNINFO for the central database.
int Serve(const std::vector<std::string>& args) {
  const bool central = args[1] == "--db";
  std::map<std::string, std::string> options{{"--listen", "127.0.0.1:8080"}};
  if (!ReadOptions(args, central ? 1 : 2, {"--listen", "--title", "--allow-host", "--db"},
                   &options) ||
      options.contains("--regex") || options.contains("--follow") ||
      central != options.contains("--db")) {
    return Usage("serve takes a data folder or --db, --listen HOST:PORT, --title and --allow-host");
  }
  const std::string listen = options["--listen"];
  const size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon < 1) return Usage("--listen takes HOST:PORT");
  std::string host = listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  const int port = std::atoi(listen.c_str() + colon + 1);
  if (port <= 0 || port > 65535) return Usage("--listen takes HOST:PORT");
  ServerOptions server_options;
  std::filesystem::path folder = std::filesystem::absolute(args[1]).lexically_normal();
  if (!folder.has_filename()) folder = folder.parent_path();
  server_options.title = options.contains("--title") ? options["--title"]
                         : central                   ? "Central archive"
                                                     : folder.filename().string();
  for (std::string names = options["--allow-host"]; !names.empty();) {
    const size_t comma = names.find(',');
    server_options.allowed_hosts.push_back(names.substr(0, comma));
    names = comma == std::string::npos ? "" : names.substr(comma + 1);
  }
  std::string error;
  std::unique_ptr<PlantSources> plants;
  std::unique_ptr<ReportSource> every_plant;
  std::unique_ptr<FolderSource> data;
  if (central) {
    plants = CentralPlantsFor(options["--db"], &error);
    if (plants == nullptr) return Usage(error);
    every_plant = plants->Plant("");
  } else {
    data = std::make_unique<FolderSource>(args[1]);
  }
  ArchiveServer server(central ? *every_plant : *data, server_options, plants.get());
  if (!server.Bind(host, port)) return Fail("cannot listen on " + listen + " (in use?)");
  if (data != nullptr) data->StartIndexing(std::chrono::seconds(5));
  std::cout << "serving " << (central ? "the central database" : args[1]) << " on http://" << listen
            << "/ (read-only)" << std::endl;
  return server.Run() ? 0 : Fail("serving stopped");
}

int Publish(const std::vector<std::string>& args) {
  std::map<std::string, std::string> options;
  if (!ReadOptions(args, 2, {"--to", "--plant"}, &options) || !options.contains("--to") ||
      !options.contains("--plant") || options.contains("--regex")) {
    return Usage("publish needs a data folder, --to and --plant");
  }
  return PublishCommand(
      {args[1], options["--to"], options["--plant"], options.contains("--follow")});
}

int Run(const std::vector<std::string>& args) {
  if (args.size() < 2) return Usage("a command and a folder are needed");
  const std::string& command = args[0];
  if (args[1] != "--db" && !FolderExists(args[1])) return Fail("no folder " + args[1]);
  if (command == "verify" && args.size() == 2)
    return VerifyArchive(args[1], std::cout) == 0 ? 0 : 1;
  if (command == "reindex" && args.size() == 2) {
    std::string error;
    return ReindexMonth(args[1], std::cout, &error) ? 0 : Fail(error);
  }
  if (command == "index" && args.size() == 2) {
    std::string error;
    const std::atomic<bool> go_on = false;
    return UpdateTextIndex(args[1], go_on, nullptr, &error) ? 0 : Fail(error);
  }
  if (command == "search") return Search(args);
  if (command == "serve") return Serve(args);
  if (command == "publish") return Publish(args);
  return Usage("unknown command or arguments");
}

}  // namespace

int main(int argc, char** argv) {
  InitMonthNames();
  // Report names and time stamps as the service writes them here.
  SetRegional(ReadSystemRegionalSettings());
  return Run(std::vector<std::string>(argv + 1, argv + argc));
}
