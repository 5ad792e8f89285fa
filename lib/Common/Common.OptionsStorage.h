#pragma once
// Reading and writing settings as named sections holding named values, without knowing the file
// format behind them. Readers and writers are shared references: sub-sections opened from one
// keep the storage behind it alive.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class IOptionsReader {
 public:
  virtual ~IOptionsReader() = default;

  // A missing value gives Default; so does one that is no number.
  virtual std::int32_t ReadInteger(std::string_view Name, std::int32_t Default) const = 0;
  // A value that is there but empty gives "", not Default.
  virtual std::string ReadString(std::string_view Name, std::string_view Default) const = 0;
  // A stored text that is no Boolean raises EConvertError.
  virtual bool ReadBool(std::string_view Name, bool Default) const = 0;
  // In the user's number format.
  virtual double ReadFloat(std::string_view Name, double Default) const = 0;
  // The child sections, in stored order; a name stored twice is listed twice.
  virtual std::vector<std::string> GetSubkeyNames() const = 0;
  virtual bool ValueExists(std::string_view Name) const = 0;
  // The child section Name (not empty; backslashes reach deeper sections). A section that is
  // not there gives a reader that reads defaults everywhere.
  virtual std::shared_ptr<IOptionsReader> OpenSubkey(std::string_view Name) const = 0;
  // No stored section stands behind this reader.
  virtual bool IsMissing() const = 0;
};

// Values equal to their default are left out, so that a file holds only what differs.
class IOptionsWriter {
 public:
  virtual ~IOptionsWriter() = default;

  // Stored only when Value differs from Default and is not 0.
  virtual void WriteInteger(std::string_view Name, std::int32_t Value, std::int32_t Default) = 0;
  // Stored only when Value differs from Default (case-sensitive) and is not empty.
  virtual void WriteString(std::string_view Name, std::string_view Value, std::string_view Default) = 0;
  virtual void WriteBool(std::string_view Name, bool Value) = 0;                     // always stored
  virtual void WriteFloat(std::string_view Name, double Value, double Default) = 0;  // always stored
  // The child section Name, created when it is not there.
  virtual std::shared_ptr<IOptionsWriter> OpenSubkey(std::string_view Name) = 0;
  // Removes every value and child section of this section.
  virtual void EraseSection() = 0;
  // Writes everything the storage holds, not only this section.
  virtual void Save() = 0;
};

// The reader of a section that is not there, and of all sections below it: code reads a tree
// of optional sections without checking at each level.
class TFakeOptionsReader final : public IOptionsReader {
 public:
  std::int32_t ReadInteger(std::string_view Name, std::int32_t Default) const override;
  std::string ReadString(std::string_view Name, std::string_view Default) const override;
  bool ReadBool(std::string_view Name, bool Default) const override;
  double ReadFloat(std::string_view Name, double Default) const override;
  std::vector<std::string> GetSubkeyNames() const override;
  bool ValueExists(std::string_view Name) const override;
  std::shared_ptr<IOptionsReader> OpenSubkey(std::string_view Name) const override;
  bool IsMissing() const override;
};
