#include "support/RefusedPackageItems.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "support/TempDir.h"

namespace {
void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error("cannot plant " + what + ": " + std::strerror(errno));
}

void Link(const std::string& target, const std::string& path) { Check(::symlink(target.c_str(), path.c_str()) == 0, path); }

void Socket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  Check(path.size() < sizeof address.sun_path, path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  Check(fd >= 0, path);
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);  // the socket's file stays
  Check(bound, path);
}
}  // namespace

std::vector<TRefusedItem> PlantRefusedItems(const std::string& PackageFolder, const TTempDir& Outside,
                                            const std::string& Secret) {
  const std::string secret = Outside.WriteFile("secret.txt", Secret);
  Check(::chmod(secret.c_str(), 0600) == 0, secret);
  const std::string folder = Outside.MakeDir("folder");
  Outside.WriteFile("folder/inner.txt", Secret);
  std::filesystem::create_directories(PackageFolder);
  WriteWholeFile(PackageFolder + "real.txt", "real");
  Link("real.txt", PackageFolder + "inside.txt");

  const std::string outsideLine = "\" не скопирован: символическая ссылка ведет за пределы пакета.";
  Link(secret, PackageFolder + "secret.txt");
  Link(folder, PackageFolder + "folder");
  Link("/dev/zero", PackageFolder + "zero.dat");
  Link("nowhere.txt", PackageFolder + "dangling.txt");
  Check(::mkfifo((PackageFolder + "pipe").c_str(), 0644) == 0, "pipe");
  Socket(PackageFolder + "socket");
  return {{"secret.txt", "Файл \"secret.txt" + outsideLine},
          {"folder", "Файл \"folder" + outsideLine},
          {"zero.dat", "Файл \"zero.dat" + outsideLine},
          {"dangling.txt", "Файл \"dangling.txt\" не скопирован: символическая ссылка никуда не ведет."},
          {"pipe", "Файл \"pipe\" не скопирован: это именованный канал, а не обычный файл."},
          {"socket", "Файл \"socket\" не скопирован: это сокет, а не обычный файл."}};
}

bool AnyFileHolds(const std::string& Root, const std::string& Text) {
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Root, error))
    if (entry.is_regular_file() && !entry.is_symlink() &&
        ReadWholeFile(entry.path().string()).find(Text) != std::string::npos)
      return true;
  return false;
}

TWatchdog::TWatchdog(int Seconds, std::function<void()> Action)
    : FThread([this, Seconds, Action = std::move(Action)] {
        std::unique_lock lock(FMutex);
        if (!FDone.wait_for(lock, std::chrono::seconds(Seconds), [this] { return FStopped; })) Action();
      }) {}

TWatchdog::~TWatchdog() {
  {
    std::lock_guard lock(FMutex);
    FStopped = true;
  }
  FDone.notify_one();
  FThread.join();
}
