// QuellorArchive: verifies and rebuilds month indexes, searches the reports'
// printed lines, keeps their full-text index, serves a read-only web view of
// a data folder, and publishes its reports to a central PostgreSQL database.

#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
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

// The exit codes scripts rely on: 0 done and found, 1 nothing found (or
// problems found by verify), 2 wrong arguments or an error.
constexpr int kFound = 0, kNotFound = 1, kError = 2;

int Fail(const std::string& problem) {
  std::cerr << "QuellorArchive: " << problem << "\n";
  return kError;
}

// text as a JSON string.
std::string Json(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += {'\\', static_cast<char>(c)};
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

struct SearchOptions {
  std::string folder;
  SearchQuery query;
  std::string from, to;
  bool list = false, count = false, json = false;
};

// The query's dates from the options; false with the reason when one is no
// date or they are the wrong way round.
bool ReadDates(SearchOptions* o, std::string* error) {
  for (auto [text, day, name] :
       {std::tuple(&o->from, &o->query.from, "--from"), std::tuple(&o->to, &o->query.to, "--to")}) {
    if (!text->empty() && !ParseDay(*text, day)) {
      *error = std::string(name) + " " + *text + ": not a date (yyyy-mm-dd)";
      return false;
    }
  }
  const auto day = [](const LocalTime& t) { return std::tuple(t.year, t.month, t.day); };
  if (day(o->query.from) > day(o->query.to)) {
    *error = "--from " + o->from + " is after --to " + o->to;
    return false;
  }
  return true;
}

// Where hit's file opens from the current folder.
std::string HitPath(const std::string& folder, const SearchHit& hit) {
  std::string relative = hit.file;
  std::replace(relative.begin(), relative.end(), '/', PathSeparator());
  return JoinPath(folder, relative);
}

// Writes one hit as the options ask; file_done: a hit of this file was
// written already.
void WriteHit(const SearchOptions& o, const SearchHit& hit, bool file_done) {
  const std::string path = HitPath(o.folder, hit);
  if (o.list) {
    if (file_done) return;
    std::cout << (o.json ? "{\"file\":" + Json(path) + "}" : path) << "\n";
  } else if (o.json) {
    std::cout << "{\"timestamp\":" << Json(hit.timestamp) << ",\"file\":" << Json(path)
              << ",\"line\":" << Json(hit.line) << "}\n";
  } else {
    std::cout << hit.timestamp << "  " << path << ": " << hit.line << "\n";
  }
}

int Search(SearchOptions& o) {
  std::string error;
  if (!FolderExists(o.folder)) return Fail("no folder " + o.folder);
  if (!ReadDates(&o, &error)) return Fail(error);
  // Progress only where someone watches it: never into a script's capture.
  const bool progress = isatty(fileno(stderr)) != 0;
  size_t lines = 0;
  std::string note;
  const bool searched = SearchReports(
      o.folder, o.query,
      [&](const ReportHits& report) {
        lines += report.lines.size();
        if (o.count) return true;
        for (const SearchHit& hit : report.lines) WriteHit(o, hit, &hit != &report.lines.front());
        return true;
      },
      &note, &error,
      [&](const std::string& month) {
        if (progress) std::cerr << "\rsearching " << month << " " << std::flush;
      });
  if (progress) std::cerr << "\r                    \r" << std::flush;
  if (!searched) return Fail(error);
  if (!note.empty()) std::cerr << "QuellorArchive: " << note << "\n";
  if (o.count)
    std::cout << (o.json ? "{\"count\":" + std::to_string(lines) + "}" : std::to_string(lines))
              << "\n";
  return lines > 0 ? kFound : kNotFound;
}

int Verify(const std::string& folder) {
  size_t problems = 0;
  std::string error;
  if (!VerifyArchive(folder, std::cout, &problems, &error)) return Fail(error);
  return problems == 0 ? kFound : kNotFound;
}

int Reindex(const std::string& folder) {
  std::string error;
  return ReindexMonth(folder, std::cout, &error) ? kFound : Fail(error);
}

int Index(const std::string& folder) {
  std::string error;
  const std::atomic<bool> go_on = false;
  return UpdateTextIndex(folder, go_on, nullptr, &error) ? kFound : Fail(error);
}

struct ServeOptions {
  std::string db;  // the central database instead of a data folder
  std::string listen = "127.0.0.1:8080";
  std::string title;
  std::vector<std::string> allowed_hosts;
};

// serve DATA_FOLDER, or serve --db CONNINFO for the central database.
int Serve(const std::string& folder, const ServeOptions& o) {
  const bool central = !o.db.empty();
  if (central == !folder.empty()) return Fail("serve takes a data folder or --db");
  if (!central && !FolderExists(folder)) return Fail("no folder " + folder);
  const size_t colon = o.listen.rfind(':');
  if (colon == std::string::npos || colon < 1) return Fail("--listen takes HOST:PORT");
  std::string host = o.listen.substr(0, colon);
  if (host.size() > 2 && host.front() == '[') host = host.substr(1, host.size() - 2);
  const int port = std::atoi(o.listen.c_str() + colon + 1);
  if (port <= 0 || port > 65535) return Fail("--listen takes HOST:PORT");
  ServerOptions server_options;
  std::filesystem::path absolute = std::filesystem::absolute(folder).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  server_options.title = !o.title.empty() ? o.title
                         : central        ? "Central archive"
                                          : absolute.filename().string();
  server_options.allowed_hosts = o.allowed_hosts;
  std::string error;
  std::unique_ptr<PlantSources> plants;
  std::unique_ptr<ReportSource> every_plant;
  std::unique_ptr<FolderSource> data;
  if (central) {
    plants = CentralPlantsFor(o.db, &error);
    if (plants == nullptr) return Fail(error);
    every_plant = plants->Plant("");
  } else {
    data = std::make_unique<FolderSource>(folder);
  }
  ArchiveServer server(central ? *every_plant : *data, server_options, plants.get());
  if (!server.Bind(host, port)) return Fail("cannot listen on " + o.listen + " (in use?)");
  if (data != nullptr) data->StartIndexing(std::chrono::seconds(5));
  std::cout << "serving " << (central ? "the central database" : folder) << " on http://"
            << o.listen << "/ (read-only)" << std::endl;
  return server.Run() ? kFound : Fail("serving stopped");
}

CLI::App* AddSearch(CLI::App& app, SearchOptions* o) {
  CLI::App* search = app.add_subcommand(
      "search", "Print the printed lines of the reports that hold TEXT, newest first.");
  search->add_option("DATA_FOLDER", o->folder, "The service's data folder")->required();
  search->add_option("TEXT", o->query.text, "The text to find (UTF-8)")->required();
  search->add_option("--from", o->from, "Reports filed on or after this day (yyyy-mm-dd)");
  search->add_option("--to", o->to, "Reports filed on or before this day (yyyy-mm-dd)");
  search->add_option("--journal", o->query.journal, "Reports of this name only");
  search->add_flag("--regex", o->query.regex, "TEXT is a regular expression (RE2)");
  search->add_flag("-i,--ignore-case", o->query.ignore_case, "Ignore the case of letters");
  search->add_flag("-w,--word", o->query.whole_words, "Match whole words only");
  search->add_flag("-l,--files", o->list, "Print each report file with a match, once");
  search->add_flag("-c,--count", o->count, "Print the number of matching lines only");
  search->add_flag("--json", o->json, "Print one JSON object a line");
  return search;
}

int Run(int argc, char** argv) {
  CLI::App app(
      "Checks, rebuilds, searches, serves and publishes the reports in a QuellorService "
      "data folder.\nExit codes: 0 done (found), 1 nothing found or problems found, 2 wrong "
      "arguments or an error.",
      "QuellorArchive");
  app.set_version_flag("--version", "QuellorArchive " QUELLOR_VERSION);
  app.require_subcommand(1);
  std::string folder;
  CLI::App* verify = app.add_subcommand("verify", "Check every month folder; 1 when any problem");
  verify->add_option("DATA_FOLDER", folder, "The service's data folder")->required();
  CLI::App* reindex = app.add_subcommand("reindex", "Rebuild a month's dir.xml from its reports");
  reindex->add_option("MONTH_FOLDER", folder, "A DATA_FOLDER/YEAR/Mon folder")->required();
  SearchOptions search_options;
  CLI::App* search = AddSearch(app, &search_options);
  CLI::App* index = app.add_subcommand("index", "Bring the full-text index up to date");
  index->add_option("DATA_FOLDER", folder, "The service's data folder")->required();
  ServeOptions serve_options;
  CLI::App* serve = app.add_subcommand("serve", "Serve a read-only web view of the reports");
  serve->add_option("DATA_FOLDER", folder, "The service's data folder");
  serve->add_option("--db", serve_options.db,
                    "The central database instead (postgresql://..., no password)");
  serve->add_option("--listen", serve_options.listen, "HOST:PORT to listen on")
      ->capture_default_str();
  serve->add_option("--title", serve_options.title, "Heading of every page (the folder's name)");
  serve->add_option("--allow-host", serve_options.allowed_hosts, "Further Host names to answer")
      ->delimiter(',');
  PublishOptions publish_options;
  CLI::App* publish =
      app.add_subcommand("publish", "Copy the reports to the central database, exactly once");
  publish->add_option("DATA_FOLDER", publish_options.data_folder, "The service's data folder")
      ->required();
  publish->add_option("--to", publish_options.conninfo, "postgresql://... (no password)")
      ->required();
  publish->add_option("--plant", publish_options.plant, "The plant's name")->required();
  publish->add_flag("--follow", publish_options.follow, "Keep publishing new and changed reports");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version go to standard output with 0, mistakes to standard
    // error with 2.
    return app.exit(e) == 0 ? kFound : kError;
  }
  if (search->parsed()) return Search(search_options);
  if (serve->parsed()) return Serve(folder, serve_options);
  if (publish->parsed()) {
    if (!FolderExists(publish_options.data_folder)) {
      return Fail("no folder " + publish_options.data_folder);
    }
    return PublishCommand(publish_options);
  }
  if (!FolderExists(folder)) return Fail("no folder " + folder);
  if (verify->parsed()) return Verify(folder);
  if (reindex->parsed()) return Reindex(folder);
  return Index(folder);
}

}  // namespace

int main(int argc, char** argv) {
  InitMonthNames();
  // Report names and time stamps as the service writes them here.
  SetRegional(ReadSystemRegionalSettings());
  return Run(argc, argv);
}
