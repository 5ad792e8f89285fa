#include "ApacheDav.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {
constexpr const char* kModuleNames[] = {"mpm_prefork", "authz_core", "alias", "dav", "dav_fs"};

bool RunningAsRoot() { return geteuid() == 0; }

// The unprivileged identity the workers take when httpd starts as root.
uid_t ServerUid() {
  const passwd* user = getpwnam("nobody");
  return user ? user->pw_uid : 65534;
}
gid_t ServerGid() {
  const group* g = getgrnam("nogroup");
  return g ? g->gr_gid : 65534;
}

// A port nobody listens on at this moment.
int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd >= 0) close(fd);
    throw std::runtime_error("no free port on 127.0.0.1");
  }
  close(fd);
  return ntohs(address.sin_port);
}

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) close(fd);
  return ok;
}

void GiveToServer(const fs::path& path) {
  std::error_code ec;
  if (lchown(path.c_str(), ServerUid(), ServerGid()) != 0) return;
  if (fs::is_directory(fs::symlink_status(path, ec)))
    for (const auto& entry : fs::recursive_directory_iterator(path, ec))
      if (lchown(entry.path().c_str(), ServerUid(), ServerGid()) != 0) return;
}

// Parents private to root (a test's temporary folder) must let the server's user pass.
void MakeParentsSearchable(const fs::path& path) {
  for (fs::path p = path.parent_path(); !p.empty() && p != p.root_path(); p = p.parent_path()) {
    struct stat st{};
    if (stat(p.c_str(), &st) == 0 && (st.st_mode & S_IXOTH) == 0) chmod(p.c_str(), (st.st_mode & 07777) | S_IXOTH);
  }
}
}  // namespace

bool TApacheDav::Available() {
  if (access(kBinary, X_OK) != 0) return false;
  for (const char* name : kModuleNames)
    if (access((std::string(kModules) + "/mod_" + name + ".so").c_str(), R_OK) != 0) return false;
  return true;
}

std::string TApacheDav::MissingMessage() {
  return std::string("Apache httpd with mod_dav is not installed (") + kBinary +
         " and its modules; Debian package apache2, which ./run.sh test installs): the WebDAV tests need it";
}

TApacheDav::TApacheDav(const std::string& ServedFolder) : FServedFolder(fs::absolute(ServedFolder).string()) {
  if (!Available()) throw std::runtime_error(MissingMessage());
  if (RunningAsRoot()) {
    GiveToServer(FServedFolder);
    GiveToServer(FConfigDir.Path());
    MakeParentsSearchable(FServedFolder);
    MakeParentsSearchable(FConfigDir.Path());
  }
  // Another process may take the chosen port between the choice and httpd's bind.
  for (int attempt = 0; attempt < 3; ++attempt)
    if (TryStart()) return;
  throw std::runtime_error("Apache httpd did not start:\n" + ErrorLog());
}

TApacheDav::~TApacheDav() { Stop(); }

bool TApacheDav::TryStart() {
  FPort = FreePort();
  const std::string dir = FConfigDir.Path();
  std::string conf;
  conf += "ServerRoot \"" + dir + "\"\n";
  conf += "ServerName 127.0.0.1\n";
  conf += "Listen 127.0.0.1:" + std::to_string(FPort) + "\n";
  conf += "PidFile \"" + dir + "/httpd.pid\"\n";
  conf += "ErrorLog \"" + dir + "/error.log\"\n";
  conf += "LogLevel warn\n";
  conf += "DefaultRuntimeDir \"" + dir + "\"\n";
  conf += "Mutex file:" + dir + " default\n";
  for (const char* name : kModuleNames)
    conf += std::string("LoadModule ") + name + "_module " + kModules + "/mod_" + name + ".so\n";
  if (RunningAsRoot()) conf += "User #" + std::to_string(ServerUid()) + "\nGroup #" + std::to_string(ServerGid()) + "\n";
  // Several workers: a test may hold one connection open while it makes another.
  conf += "StartServers 2\nMinSpareServers 1\nMaxSpareServers 4\nMaxRequestWorkers 8\n";
  conf += "KeepAliveTimeout 1\nTimeout 30\n";
  conf += "DavLockDB \"" + dir + "/DavLock\"\n";
  conf += "DocumentRoot \"" + FServedFolder + "\"\n";
  conf += "Alias /dav \"" + FServedFolder + "\"\n";
  conf += "<Directory \"" + FServedFolder + "\">\n  Dav On\n  AllowOverride None\n  Require all granted\n</Directory>\n";
  WriteWholeFile(dir + "/httpd.conf", conf);

  std::vector<std::string> args = {kBinary, "-d", dir, "-f", dir + "/httpd.conf", "-DFOREGROUND"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const std::string output = dir + "/httpd.out";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // A group of its own: httpd signals its whole process group when it stops.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  const int spawned = posix_spawn(&FPid, kBinary, &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    FPid = -1;
    throw std::runtime_error(std::string("cannot start ") + kBinary + ": " + std::strerror(spawned));
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(FPid, &status, WNOHANG) == FPid) {
      kill(-FPid, SIGKILL);
      FPid = -1;
      return false;
    }
    if (Accepts(FPort)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  Stop();
  return false;
}

void TApacheDav::Stop() {
  if (FPid <= 0) return;
  kill(FPid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (waitpid(FPid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(FPid, SIGKILL);
      waitpid(FPid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(-FPid, SIGKILL);  // workers that outlived their parent
  FPid = -1;
}

std::string TApacheDav::Url(std::string_view Path) const {
  return "http://127.0.0.1:" + std::to_string(FPort) + "/dav/" + std::string(Path);
}

void TApacheDav::ShareWithServer(const std::string& Path) const {
  if (RunningAsRoot()) GiveToServer(Path);
}

std::string TApacheDav::ErrorLog() const {
  std::string text;
  for (const char* name : {"/error.log", "/httpd.out"}) {
    try {
      text += ReadWholeFile(FConfigDir.Path() + name);
    } catch (const std::exception&) {
    }
  }
  return text;
}
