#pragma once
// The log of a run, window or not: every line of the wizard's log with the time, written as it is
// logged so that a crash leaves what came before it. By default one file per run in the wizard's
// state folder, named after the run's start ("2015-12-09 14-05-09.log"), the last 20 runs kept.

#include <memory>
#include <string>

namespace platform {
class TAppendFile;
}

inline constexpr int KeptRunLogs = 20;

class TRunLog {
 public:
  // Appends to File (its folder created when missing). EOSError.
  explicit TRunLog(const std::string& File);
  ~TRunLog();

  // A new log in Folder for this run; the oldest logs beyond KeptRunLogs go. EOSError.
  static std::unique_ptr<TRunLog> CreateIn(const std::string& Folder);

  const std::string& Path() const;
  // "HH:MM:SS Line". A line that cannot be written is lost, never the update.
  void Write(const std::string& Line);

 private:
  std::unique_ptr<platform::TAppendFile> FFile;
};
