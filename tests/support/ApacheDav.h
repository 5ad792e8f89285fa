#pragma once
// A real WebDAV server for tests: Apache httpd with mod_dav and mod_dav_fs, started on a free
// 127.0.0.1 port with a configuration of its own in a temporary folder, in the foreground as an
// ordinary child process, and stopped when the object goes. It serves one folder under "/dav/",
// with PROPFIND, PROPPATCH and locks.
//
// Started as root, the server's workers run as nobody:nogroup (httpd refuses to serve as root):
// the served folder is given to that user and its parent folders made searchable. Files added
// to the folder after the start need ShareWithServer.
//
//   if (!TApacheDav::Available()) GTEST_SKIP() << TApacheDav::MissingMessage();
//   TApacheDav server(dir.Path());
//   RequestPropFind(server.Url("docs/"));

#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "TempDir.h"

class TApacheDav {
 public:
  static constexpr const char* kBinary = "/usr/sbin/apache2";
  static constexpr const char* kModules = "/usr/lib/apache2/modules";

  // Whether the httpd binary and the modules are installed.
  static bool Available();
  // Why the WebDAV tests skip when they are not.
  static std::string MissingMessage();

  // Starts the server on ServedFolder; std::runtime_error with httpd's own report when it does
  // not come up.
  explicit TApacheDav(const std::string& ServedFolder);
  ~TApacheDav();
  TApacheDav(const TApacheDav&) = delete;
  TApacheDav& operator=(const TApacheDav&) = delete;

  int Port() const { return FPort; }
  // "http://127.0.0.1:<port>/dav/" followed by Path (relative to the served folder).
  std::string Url(std::string_view Path = {}) const;
  // Lets the server's user read and change Path (a file or a folder tree) created after the start.
  void ShareWithServer(const std::string& Path) const;
  // What httpd wrote to its error log so far.
  std::string ErrorLog() const;

 private:
  bool TryStart();
  void Stop();

  std::string FServedFolder;
  TTempDir FConfigDir;
  int FPort = 0;
  pid_t FPid = -1;
};
