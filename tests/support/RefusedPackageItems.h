#pragma once
// A package folder holding one of each item an update must refuse (links out of the package, a
// dangling link, a pipe, a socket, a link to an endless device) beside a link inside the package,
// and a guard that ends a run which hangs on one of them.

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TTempDir;

struct TRefusedItem {
  std::string RelativePath;  // inside the package folder
  std::string Line;          // the copy's log line for it
};

// Plants the items in PackageFolder (ending with "/"), which lies in Package. Outside is a folder
// outside the package: it gets a file only its owner may read, holding Secret, and a folder. Also
// plants "real.txt" (holding "real") and the link "inside.txt" to it.
std::vector<TRefusedItem> PlantRefusedItems(const std::string& PackageFolder, const TTempDir& Outside,
                                            const std::string& Secret);

// Whether any file below Root, hidden ones and backups included, holds Text.
bool AnyFileHolds(const std::string& Root, const std::string& Text);

// Runs Action once Seconds have passed, unless destroyed before.
class TWatchdog {
 public:
  TWatchdog(int Seconds, std::function<void()> Action);
  ~TWatchdog();
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

 private:
  std::mutex FMutex;
  std::condition_variable FDone;
  bool FStopped = false;
  std::thread FThread;
};
