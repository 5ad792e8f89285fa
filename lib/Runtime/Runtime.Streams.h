#pragma once
// The stream classes: a positioned sequence of bytes with the semantics the units rely on
// (short reads return what is there; ReadBuffer/WriteBuffer raise on a short transfer).

#include <cstdint>
#include <vector>

enum TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };

enum TStreamOwnership : int { soReference = 0, soOwned = 1 };

class TStream {
 public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  // Reads up to Count bytes; returns how many were read (0 at or beyond the end).
  virtual std::int32_t Read(void* Buffer, std::int32_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual std::int32_t Write(const void* Buffer, std::int32_t Count) = 0;
  // Moves the position; returns the new position. Positions beyond the end are allowed.
  virtual std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) = 0;

  // By default the size is found by seeking to the end and back.
  virtual std::int64_t GetSize();
  // Streams that cannot change their size raise EStreamError.
  virtual void SetSize(std::int64_t NewSize);

  std::int64_t Size() { return GetSize(); }
  std::int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(std::int64_t Value) { Seek(Value, soBeginning); }

  // Exactly Count bytes, or EReadError "Stream read error" / EWriteError "Stream write error".
  void ReadBuffer(void* Buffer, std::int64_t Count);
  void WriteBuffer(const void* Buffer, std::int64_t Count);

  // Copies Count bytes from Source's position; Count 0 copies the whole of Source from its start.
  // Returns the number of bytes copied.
  std::int64_t CopyFrom(TStream& Source, std::int64_t Count);
};

// A stream over a growing block of memory.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;

  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;
  std::int64_t GetSize() override { return FSize; }
  void SetSize(std::int64_t NewSize) override;

  void Clear();
  // Replaces the contents by the whole of Source (from its beginning); the position becomes 0.
  void LoadFromStream(TStream& Source);
  // Writes the whole contents to Dest at Dest's position.
  void SaveToStream(TStream& Dest);

  std::uint8_t* Memory() { return FData.data(); }
  const std::uint8_t* Memory() const { return FData.data(); }

 protected:
  std::vector<std::uint8_t> FData;  // capacity; the first FSize bytes are the contents
  std::int64_t FSize = 0;
  std::int64_t FPosition = 0;
};

// A memory stream whose contents can be handed over as a byte array.
class TBytesStream : public TMemoryStream {
 public:
  TBytesStream() = default;
  explicit TBytesStream(std::vector<std::uint8_t> Bytes);
  // The contents, exactly Size bytes long.
  std::vector<std::uint8_t> Bytes() const;
};
