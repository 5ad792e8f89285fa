#include "Setup.RunLog.h"

#include <algorithm>
#include <vector>

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/AppendFile.h"
#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"

namespace {
const char LogExtension[] = ".log";

// The stamps sort as the runs started.
void RemoveOldestLogs(const std::string& folder) {
  std::vector<std::string> logs;
  for (const platform::TFileEntry& entry : platform::ListDirectory(folder, false))
    if (!entry.IsDirectory && !entry.IsSymbolicLink && EndsStr(LogExtension, entry.Name)) logs.push_back(entry.Name);
  std::sort(logs.begin(), logs.end());
  for (std::size_t i = 0; i + KeptRunLogs < logs.size(); ++i) platform::DeleteFile(folder + logs[i]);
}
}  // namespace

TRunLog::TRunLog(const std::string& File) {
  platform::ForceDirectories(ExtractFilePath(File));
  FFile = std::make_unique<platform::TAppendFile>(File);
}

TRunLog::~TRunLog() = default;

std::unique_ptr<TRunLog> TRunLog::CreateIn(const std::string& Folder) {
  const std::string folder = IncludeTrailingPathDelimiter(Folder);
  platform::ForceDirectories(folder);
  const std::string stamp = FormatDateTime("yyyy-mm-dd hh-nn-ss", platform::Now(), platform::FormatSettings());
  std::string path = folder + stamp + LogExtension;
  for (int n = 2; platform::FileOrLinkExists(path); ++n) path = folder + stamp + " (" + IntToStr(n) + ")" + LogExtension;
  auto log = std::make_unique<TRunLog>(path);
  RemoveOldestLogs(folder);
  return log;
}

const std::string& TRunLog::Path() const { return FFile->Path(); }

void TRunLog::Write(const std::string& Line) {
  try {
    FFile->Append(FormatDateTime("hh:nn:ss", platform::Now(), platform::FormatSettings()) + " " + Line + "\n", false);
  } catch (const Exception&) {
  }
}
