#include "Common.Classes.h"

#include <algorithm>
#include <cstdlib>

#include "platform/FileStream.h"

// --- GUIDs -------------------------------------------------------------------------------------

namespace kv::detail {

namespace {
thread_local TReferenceCount* gConstructionCount = nullptr;
}

TConstructionScope::TConstructionScope(TReferenceCount* count) noexcept : FSaved(gConstructionCount) {
  gConstructionCount = count;
}
TConstructionScope::~TConstructionScope() { gConstructionCount = FSaved; }

namespace {
TReferenceCount* TakeConstructionCount() {
  TReferenceCount* count = std::exchange(gConstructionCount, nullptr);
  ASSERT(count != nullptr, "Flexible objects are created with NewObject");
  return count;
}
}  // namespace
}  // namespace kv::detail


// --- flexible objects --------------------------------------------------------------------------

namespace {
constexpr const char* kManualDestroyMessage =
    "Вызван в ручную деструктор для объекта, который должен уничтожаться только при обниливании всех ссылок на него";
}

TFlexibleInterfacedObject::TFlexibleInterfacedObject() : FCount(kv::detail::TakeConstructionCount()) {
  FCount->FDestroyOnLastRelease = true;
}

TFlexibleInterfacedObject::TFlexibleInterfacedObject(TPersistentMode) : FCount(kv::detail::TakeConstructionCount()) {
  FCount->FDestroyOnLastRelease = false;
}

TFlexibleInterfacedObject::~TFlexibleInterfacedObject() = default;

HRESULT TFlexibleInterfacedObject::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IInterface>(this, AIID, Obj)) return S_OK;
  *Obj = nullptr;
  return E_NOINTERFACE;
}

void TFlexibleInterfacedObject::Free() {
  FCount->FState.store(osDestroying, std::memory_order_release);
  if (FCount->FDestroyOnLastRelease && FCount->Count() > 0) throw EManualDestroyError(kManualDestroyMessage);
  DestroyInstance();
}

void TFlexibleInterfacedObject::DestroyInstance() noexcept {
  TReferenceCount* const count = FCount;
  this->~TFlexibleInterfacedObject();
  count->AfterDestruction();
}

void TReferenceCount::AfterConstruction(TFlexibleInterfacedObject* object) noexcept {
  FObject = object;
  // Back to the references taken during construction and still held; never destroys.
  FRefCount.fetch_sub(1, std::memory_order_acq_rel);
}

std::int32_t TReferenceCount::Release() noexcept {
  const std::int32_t count = FRefCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (count == 0) {
    if (FDestroyOnLastRelease) {
      if (State() == osNormal) {
        FState.store(osDestroying, std::memory_order_release);
        FObject->DestroyInstance();  // gives this block back too
      }
    } else if (State() == osDestroyed) {
      FreeMemory();
    }
  }
  return count;
}

void TReferenceCount::AfterDestruction() noexcept {
  if (FDestroyOnLastRelease || Count() == 0)
    FreeMemory();
  else
    FState.store(osDestroyed, std::memory_order_release);
}

TInterfacePtr<IObjectDestroyer> TFlexibleInterfacedObject::AutoDestroy() { return ::AutoDestroy(this); }

std::string TFlexibleInterfacedObject::ToString() const { return TypeName(typeid(*this)); }

// --- destroyer ---------------------------------------------------------------------------------

HRESULT TObjectDestroyer::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IObjectDestroyer>(this, AIID, Obj)) return S_OK;
  return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
}

TObjectDestroyer::~TObjectDestroyer() {
  if (FObject) FFree(std::exchange(FObject, nullptr));
}

// --- buffered stream ---------------------------------------------------------------------------

TBufferedStream::TBufferedStream(TStream* AStream, TStreamOwnership AOwnership)
    : FStream(AStream), FOwnership(AOwnership) {
  SetBufferSize(kDefaultBufferSize);
}

TBufferedStream::TBufferedStream(const std::string& AFileName, std::uint16_t Mode, std::int32_t ABuffSize)
    : TBufferedStream(new TFileStream(AFileName, Mode), soOwned) {
  SetBufferSize(ABuffSize);
}

TBufferedStream::~TBufferedStream() {
  if (FOwnership == soOwned) delete std::exchange(FStream, nullptr);
}

std::int32_t TBufferedStream::Write(const void*, std::int32_t) { throw EStreamError("Stream is read-only"); }

std::int64_t TBufferedStream::Seek(std::int64_t Offset, TSeekOrigin Origin) {
  switch (Origin) {
    case soBeginning: FPosition = Offset; break;
    case soCurrent: FPosition += Offset; break;
    case soEnd: FPosition = FStream->Size() + Offset; break;
    default: ASSERT(false, "Unknown seek origin");
  }
  if (!PositionInBuffer(FPosition)) InvalidateBuffer();
  return FPosition;
}

void TBufferedStream::SetBufferSize(std::int32_t Value) {
  if (Value <= 0) Value = 0x4000;
  if (Value != FBuffSize) {
    FBuffSize = Value;
    InvalidateBuffer();
  }
}

std::int32_t TBufferedStream::ReadFromBuffer(std::uint8_t* Dest, std::int32_t Count) {
  if (!PositionInBuffer(FPosition)) return 0;
  const std::int64_t available = BufferEnd() - FPosition + 1;
  ASSERT(available > 0);
  const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(Count, available));
  std::memcpy(Dest, FBuff.get() + (FPosition - FBuffStartPosition), static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

bool TBufferedStream::FillBuffer() {
  FStream->SetPosition(FPosition);
  FBuffStartPosition = FPosition;
  FBuffLength = 0;
  if (FBuffAllocated != FBuffSize) {
    FBuff.reset();
    FBuffAllocated = 0;
    FBuff = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(FBuffSize));
    FBuffAllocated = FBuffSize;
  }
  FBuffLength = std::max(FStream->Read(FBuff.get(), FBuffSize), 0);
  return FBuffLength > 0;
}

std::int32_t TBufferedStream::ReadThroughBuffer(void* Buffer, std::int32_t Count) {
  auto* dest = static_cast<std::uint8_t*>(Buffer);
  std::int32_t total = 0;
  while (total < Count) {
    const std::int32_t n = ReadFromBuffer(dest + total, Count - total);
    total += n;
    if (n == 0 && !FillBuffer()) break;
  }
  return total;
}
