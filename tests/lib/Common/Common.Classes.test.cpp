#include "Common.Classes.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "platform/FileStream.h"
#include "support/TempDir.h"

namespace {

class ITestValue : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{6B1A52C0-3E4D-4B8A-9C1F-0D2E3F405162}");
  virtual int Value() = 0;

 protected:
  ~ITestValue() = default;
};

struct TLifeLog {
  int Destroyed = 0;
  int CountAfterHandOut = -1;
};

// A flexible object of either mode that logs its destruction and can hand out its own interface
// while it is being constructed.
template <class Base>
class TProbe : public Base, public ITestValue {
 public:
  explicit TProbe(TLifeLog& log, bool handOutSelf = false) : FLog(log) {
    if (handOutSelf) {
      { TInterfacePtr<ITestValue> receiver(this); }
      FLog.CountAfterHandOut = this->RefCount();
    }
  }
  ~TProbe() override { ++FLog.Destroyed; }

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override {
    if (this->template GetInterface<ITestValue>(this, AIID, Obj)) return S_OK;
    return Base::QueryInterface(AIID, Obj);
  }
  int Value() override { return 42; }

 private:
  TLifeLog& FLog;
};

using TCounted = TProbe<TFlexibleInterfacedObject>;
using TPersistent = TProbe<TFlexiblePersistInterfacedObject>;

const char* const kManualDestroyText =
    "Вызван в ручную деструктор для объекта, который должен уничтожаться только при обниливании всех ссылок на него";

}  // namespace

// --- the two modes, row by row -----------------------------------------------------------------

TEST(FlexibleObjects, LastReleaseDestroysACountedObjectButNotAPersistentOne) {
  TLifeLog counted;
  {
    TInterfacePtr<ITestValue> ref = NewObject<TCounted>(counted);
    EXPECT_EQ(ref->Value(), 42);
  }
  EXPECT_EQ(counted.Destroyed, 1);

  TLifeLog persistent;
  TPersistent* owned = NewObject<TPersistent>(persistent);
  { TInterfacePtr<ITestValue> ref = owned; }
  EXPECT_EQ(persistent.Destroyed, 0);  // the owner still uses it
  EXPECT_EQ(owned->RefCount(), 0);
  EXPECT_EQ(owned->State(), osNormal);
  owned->Free();
  EXPECT_EQ(persistent.Destroyed, 1);
}

TEST(FlexibleObjects, AnOwnerFreesAnUnreferencedObjectOfEitherModeLikeAPlainObject) {
  TLifeLog log;
  NewObject<TCounted>(log)->Free();  // never referenced through an interface
  NewObject<TPersistent>(log)->Free();
  EXPECT_EQ(log.Destroyed, 2);
}

TEST(FlexibleObjects, FreeingAReferencedCountedObjectRaisesAndTheObjectStays) {
  TLifeLog log;
  TCounted* object = NewObject<TCounted>(log);
  TInterfacePtr<ITestValue> ref = object;
  try {
    object->Free();
    FAIL() << "no EManualDestroyError";
  } catch (const TFlexibleInterfacedObject::EManualDestroyError& e) {
    EXPECT_EQ(e.Message(), kManualDestroyText);
  }
  EXPECT_EQ(log.Destroyed, 0);
  EXPECT_EQ(object->State(), osDestroying);
  EXPECT_EQ(ref->Value(), 42);  // the reference keeps working
  ref.Reset();
  EXPECT_EQ(log.Destroyed, 0);  // the last release no longer destroys it
  EXPECT_EQ(object->RefCount(), 0);
  object->Free();  // without references the owner can free it now
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(FlexibleObjects, FreeingAReferencedPersistentObjectRunsItsDestructorAndKeepsTheMemory) {
  TLifeLog log;
  TPersistent* object = NewObject<TPersistent>(log);
  TInterfacePtr<IInterface> ref = static_cast<ITestValue*>(object);
  TInterfacePtr<IInterface> second = ref;
  object->Free();
  EXPECT_EQ(log.Destroyed, 1);
  // The references still count in memory that is kept (AddressSanitizer would stop a use after
  // free here); the last of them gives it back (LeakSanitizer would report it otherwise).
  TInterfacePtr<IInterface> third = second;
  third.Reset();
  second.Reset();
  ref.Reset();
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(FlexibleObjects, ReferencesTakenInsideTheConstructorDoNotDestroyIt) {
  TLifeLog log;
  TCounted* object = NewObject<TCounted>(log, /*handOutSelf=*/true);
  EXPECT_EQ(log.CountAfterHandOut, 1);  // the construction's own reference
  EXPECT_EQ(object->RefCount(), 0);
  EXPECT_EQ(log.Destroyed, 0);
  { TInterfacePtr<ITestValue> ref = object; }
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(FlexibleObjects, OnlyNewObjectCreatesThem) {
  TLifeLog log;
  try {
    TCounted onTheStack(log);
    FAIL() << "a flexible object was built without NewObject";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.UnitPath(), "lib/Common/Common.Classes");
  }
  // A failed construction gives its memory back and leaves later constructions working.
  struct TThrowing : TFlexibleInterfacedObject {
    TThrowing() { throw EInvalidOperation("no"); }
  };
  EXPECT_THROW(NewObject<TThrowing>(), EInvalidOperation);
  NewObject<TCounted>(log)->Free();
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(FlexibleObjects, QueryInterfaceAnswersTheImplementedIdentifiersOnly) {
  TLifeLog log;
  TInterfacePtr<IInterface> base = static_cast<ITestValue*>(NewObject<TCounted>(log));
  TInterfacePtr<ITestValue> value;
  ASSERT_TRUE(Supports(base, value));
  EXPECT_EQ(value->Value(), 42);
  EXPECT_EQ(static_cast<TCounted*>(value.Get())->RefCount(), 2);

  void* obj = &log;
  EXPECT_EQ(base->QueryInterface(IObjectDestroyer::IID, &obj), E_NOINTERFACE);
  EXPECT_EQ(obj, nullptr);
  TInterfacePtr<IObjectDestroyer> destroyer;
  EXPECT_FALSE(Supports(base, destroyer));
  EXPECT_EQ(base->QueryInterface(IInterface::IID, &obj), S_OK);
  TInterfacePtr<IInterface>::Attach(static_cast<IInterface*>(obj));  // drops the added reference
  base.Reset();
  value.Reset();
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(GUID, ParsesAndFormatsTheRegistryForm) {
  constexpr TGUID id = TGUID::FromString("{4de81104-08b2-4821-960e-8935ac9b8f5e}");
  EXPECT_EQ(id, IObjectDestroyer::IID);
  EXPECT_EQ(id.ToString(), "{4DE81104-08B2-4821-960E-8935AC9B8F5E}");
  EXPECT_EQ(IInterface::IID.ToString(), "{00000000-0000-0000-C000-000000000046}");
  for (const char* bad : {"", "4DE81104-08B2-4821-960E-8935AC9B8F5E", "{4DE81104-08B2-4821-960E-8935AC9B8F5G}",
                          "{4DE81104008B2-4821-960E-8935AC9B8F5E}"})
    EXPECT_THROW(TGUID::FromString(bad), EConvertError) << bad;
}

// --- destroyers and shared pointers -------------------------------------------------------------

namespace {
struct TPlain {
  explicit TPlain(int& destroyed) : FDestroyed(destroyed) {}
  ~TPlain() { ++FDestroyed; }
  int& FDestroyed;
};

struct TWithText : TPlain {
  using TPlain::TPlain;
  std::string ToString() const { return "own text"; }
};
}  // namespace

TEST(ObjectDestroyer, TheLastReferenceFreesTheOwnedObject) {
  int destroyed = 0;
  auto* plain = new TPlain(destroyed);
  {
    TInterfacePtr<IObjectDestroyer> owner = AutoDestroy(plain);
    TInterfacePtr<IObjectDestroyer> copy = owner;
    EXPECT_EQ(owner->GetObj(), plain);
    owner.Reset();
    EXPECT_EQ(destroyed, 0);
  }
  EXPECT_EQ(destroyed, 1);

  { TInterfacePtr<IObjectDestroyer> nothing = NewObject<TObjectDestroyer>(static_cast<TPlain*>(nullptr)); }

  TLifeLog log;
  { auto owner = NewObject<TPersistent>(log)->AutoDestroy(); }  // flexible objects are freed through Free
  EXPECT_EQ(log.Destroyed, 1);
}

TEST(SharedPtr, CopiesShareTheObjectUntilTheLastOneGoes) {
  TSharedPtr<TPlain> empty = TSharedPtr<TPlain>::Create(nullptr);
  EXPECT_EQ(empty.SharedObject(), nullptr);
  EXPECT_EQ(empty.ToString(), "null");
  EXPECT_EQ(TSharedPtr<TPlain>::Null().Unwrap(), nullptr);

  int destroyed = 0;
  auto first = std::make_unique<TSharedPtr<TPlain>>(new TPlain(destroyed));
  TSharedPtr<TPlain> second = *first;
  first.reset();
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(&second->FDestroyed, &destroyed);
  second = nullptr;
  EXPECT_EQ(destroyed, 1);
}

TEST(SharedPtr, UnwrapHandsTheObjectOverForEveryCopy) {
  int destroyed = 0;
  TSharedPtr<TPlain> a = new TPlain(destroyed);
  TSharedPtr<TPlain> b = a;
  TPlain* plain = b.Unwrap();
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(a.SharedObject(), nullptr);
  EXPECT_EQ(b.SharedObject(), nullptr);
  a = nullptr;
  EXPECT_EQ(destroyed, 0);
  delete plain;
}

TEST(SharedPtr, ToStringGivesTheObjectsOwnTextOrItsClassName) {
  int destroyed = 0;
  EXPECT_EQ(TSharedPtr<TWithText>(new TWithText(destroyed)).ToString(), "own text");
  EXPECT_EQ(TSharedPtr<TPlain>(new TPlain(destroyed)).ToString(), "TPlain");
  TLifeLog log;
  EXPECT_EQ(TSharedPtr<TCounted>(NewObject<TCounted>(log)).ToString(), "TProbe<TFlexibleInterfacedObject>");
  EXPECT_EQ(destroyed, 2);
  EXPECT_EQ(log.Destroyed, 1);
}

// --- buffered stream -------------------------------------------------------------------------

namespace {
// A memory stream that counts the reads that reach it and tells when it is freed.
class TCountingStream : public TBytesStream {
 public:
  TCountingStream(std::size_t size, bool* freed = nullptr) : TBytesStream(Pattern(size)), FFreed(freed) {}
  ~TCountingStream() override {
    if (FFreed) *FFreed = true;
  }
  std::int32_t Read(void* Buffer, std::int32_t Count) override {
    ++Reads;
    return TBytesStream::Read(Buffer, Count);
  }
  static std::vector<std::uint8_t> Pattern(std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
    return bytes;
  }
  int Reads = 0;

 private:
  bool* FFreed;
};

std::vector<std::uint8_t> ReadBytes(TStream& stream, std::int32_t count) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  bytes.resize(static_cast<std::size_t>(stream.Read(bytes.data(), count)));
  return bytes;
}

std::vector<std::uint8_t> Expected(std::uint8_t from, std::size_t count) {
  std::vector<std::uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), from);
  return bytes;
}
}  // namespace

TEST(BufferedStream, ReadsThatStraddleTheBufferAreJoinedFromSeveralFills) {
  TCountingStream source(100);
  TBufferedStream stream(&source, soReference);
  stream.SetBufferSize(16);
  stream.Seek(10, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 40), Expected(10, 40));  // 10..25, 26..41, 42..57
  EXPECT_EQ(source.Reads, 3);
  EXPECT_EQ(stream.Position(), 50);
  EXPECT_EQ(ReadBytes(stream, 4), Expected(50, 4));  // still in the last fill
  EXPECT_EQ(source.Reads, 3);
}

TEST(BufferedStream, ReadsOfEverySmallSizeInsideTheBuffer) {
  TCountingStream source(256);  // 1 + 2 + ... + 20 = 210 bytes
  TBufferedStream stream(&source, soReference);
  std::int64_t position = 0;
  for (std::int32_t count = 1; count <= 20; ++count) {
    EXPECT_EQ(ReadBytes(stream, count), Expected(static_cast<std::uint8_t>(position), count)) << count;
    position += count;
  }
  EXPECT_EQ(source.Reads, 1);
}

TEST(BufferedStream, ShortReadsAtAndBeyondTheEnd) {
  TCountingStream source(100);
  TBufferedStream stream(&source, soReference);
  stream.Seek(-4, soEnd);
  EXPECT_EQ(ReadBytes(stream, 10), Expected(96, 4));
  EXPECT_EQ(ReadBytes(stream, 10).size(), 0u);
  stream.Seek(1000, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 10).size(), 0u);
  EXPECT_EQ(stream.Position(), 1000);
  std::uint8_t byte = 0;
  EXPECT_EQ(stream.Read(&byte, 0), 0);
  EXPECT_EQ(stream.Read(&byte, -1), 0);
  EXPECT_EQ(stream.Size(), 100);
}

TEST(BufferedStream, SeeksInsideTheBufferKeepItAndSeeksOutsideDropIt) {
  TCountingStream source(100);
  TBufferedStream stream(&source, soReference);
  stream.SetBufferSize(32);
  stream.Seek(20, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 4), Expected(20, 4));  // buffer holds 20..51
  EXPECT_EQ(source.Reads, 1);
  struct Case {
    std::int64_t offset;
    TSeekOrigin origin;
    std::uint8_t first;
    int reads;
  };
  const Case cases[] = {
      {20, soBeginning, 20, 1},  // the buffer's first byte
      {51, soBeginning, 51, 1},  // its last byte
      {-20, soCurrent, 32, 1},
      {-49, soEnd, 51, 1},
      {52, soBeginning, 52, 2},  // one past the end: refilled from 52
      {10, soBeginning, 10, 3},
  };
  for (const auto& c : cases) {
    stream.Seek(c.offset, c.origin);
    EXPECT_EQ(ReadBytes(stream, 1), Expected(c.first, 1)) << c.offset;
    EXPECT_EQ(source.Reads, c.reads) << c.offset;
  }
  EXPECT_THROW(stream.Seek(0, static_cast<TSeekOrigin>(7)), EAssertionFailed);
}

// A read that ends exactly at (or runs into) the buffer's start from before it, once after a real
// fill and once after a fill at the end that found nothing, must come from the underlying stream.
TEST(BufferedStream, ReadsJustBeforeTheBufferComeFromTheUnderlyingStream) {
  TCountingStream source(1000);
  TBufferedStream stream(&source, soReference);
  stream.Seek(500, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 1), Expected(500 % 256, 1));  // buffer holds 500..999
  for (std::int32_t count : {10, 20}) {
    stream.Seek(490, soBeginning);
    EXPECT_EQ(ReadBytes(stream, count), Expected(490 % 256, static_cast<std::size_t>(count))) << count;
    EXPECT_EQ(stream.Position(), 490 + count);
  }

  stream.Seek(1010, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 4).size(), 0u);  // an empty fill from 1010
  stream.Seek(1000, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 10).size(), 0u);
  EXPECT_EQ(stream.Position(), 1000);
  stream.Seek(995, soBeginning);
  EXPECT_EQ(ReadBytes(stream, 15), Expected(995 % 256, 5));
}

TEST(BufferedStream, IsReadOnly) {
  TCountingStream source(10);
  TBufferedStream stream(&source, soReference);
  std::uint8_t byte = 1;
  for (std::int32_t count : {0, 1}) {
    try {
      stream.Write(&byte, count);
      FAIL() << "no error for " << count;
    } catch (const EStreamError& e) {
      EXPECT_EQ(e.Message(), "Stream is read-only");
    }
  }
  EXPECT_EQ(source.Size(), 10);
}

TEST(BufferedStream, BufferSizes) {
  TCountingStream source(100000);
  TBufferedStream stream(&source, soReference);
  EXPECT_EQ(stream.BufferSize(), 1048576);
  for (std::int32_t size : {-1, 0}) {
    stream.SetBufferSize(size);
    EXPECT_EQ(stream.BufferSize(), 16384) << size;
  }
  stream.SetPosition(0);
  ReadBytes(stream, 1);
  stream.SetPosition(16383);
  ReadBytes(stream, 1);
  EXPECT_EQ(source.Reads, 1);
  stream.SetBufferSize(100);  // a new size drops the buffer
  stream.SetPosition(0);
  ReadBytes(stream, 1);
  EXPECT_EQ(source.Reads, 2);
}

TEST(BufferedStream, OwnershipOfTheUnderlyingStream) {
  bool freed = false;
  auto* owned = new TCountingStream(10, &freed);
  { TBufferedStream stream(owned, soOwned); }
  EXPECT_TRUE(freed);

  freed = false;
  TCountingStream referenced(10, &freed);
  { TBufferedStream stream(&referenced, soReference); }
  EXPECT_FALSE(freed);
  referenced.SetPosition(3);
  EXPECT_EQ(ReadBytes(referenced, 2), Expected(3, 2));
}

TEST(BufferedStream, OpensAFileItself) {
  TTempDir dir;
  std::string name = dir.WriteFile("data.bin", "0123456789");
  TBufferedStream stream(name, fmOpenRead | fmShareDenyWrite, 4);
  EXPECT_EQ(stream.BufferSize(), 4);
  char text[10];
  stream.ReadBuffer(text, 10);
  EXPECT_EQ(std::string(text, 10), "0123456789");
  EXPECT_THROW(TBufferedStream(dir.File("missing.bin"), fmOpenRead, 4), EFOpenError);
}
