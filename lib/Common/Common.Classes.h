#pragma once
// Object lifetime tools: reference-counted interfaces, scoped and shared ownership of plain objects
// (destroyers, AutoDestroy, TSharedPtr), the two flexible reference-counted base objects, and a
// read-only stream that reads another stream through one large buffer.

#include <atomic>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <utility>

#include "Runtime.Exceptions.h"
#include "Runtime.Streams.h"
#include "Runtime.SysTypes.h"

// --- interfaces --------------------------------------------------------------------------------
//
// An interface is a class that derives `public virtual IInterface`, has only pure virtual
// operations and a protected destructor, and names its identifier in a static member `IID`:
//
//   class IStorageEntry : public virtual IInterface {
//    public:
//     static constexpr TGUID IID = TGUID::FromString("{...}");
//     virtual std::string Name() = 0;
//    protected:
//     ~IStorageEntry() = default;
//   };
//
// Implementations derive from TFlexibleInterfacedObject (or TFlexiblePersistInterfacedObject) and
// their interfaces; the virtual base gives every interface of an object the one count, and the
// object answers QueryInterface for them (see TFlexibleInterfacedObject::GetInterface). References
// are held in TInterfacePtr.

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

enum TObjectState : std::uint8_t { osNormal = 0, osDestroying = 1, osDestroyed = 2 };

class TFlexibleInterfacedObject;

// The reference count of a flexible object and its destruction state. It lives in front of the
// object, in the same allocation, so that it outlives the destructor of a persistent object whose
// references are still held: those references are released here without touching the object.
class TReferenceCount {
 public:
  TReferenceCount() = default;
  TReferenceCount(const TReferenceCount&) = delete;
  TReferenceCount& operator=(const TReferenceCount&) = delete;

  // Both return the new count.
  std::int32_t AddRef() noexcept { return FRefCount.fetch_add(1, std::memory_order_relaxed) + 1; }
  // The release that brings the count to 0 destroys a counted object that is not being destroyed,
  // and releases the memory of a persistent object whose owner has already freed it.
  std::int32_t Release() noexcept;
  std::int32_t Count() const noexcept { return FRefCount.load(std::memory_order_acquire); }
  TObjectState State() const noexcept { return FState.load(std::memory_order_acquire); }

 private:
  friend class TFlexibleInterfacedObject;
  template <class T, class... Args>
  friend T* NewObject(Args&&... args);

  void AfterConstruction(TFlexibleInterfacedObject* object) noexcept;
  // After the object's destructor: gives the memory back, or leaves it to the last release.
  void AfterDestruction() noexcept;
  void FreeMemory() noexcept { ::operator delete(static_cast<void*>(this)); }

  std::atomic<std::int32_t> FRefCount{1};
  std::atomic<TObjectState> FState{osNormal};
  bool FDestroyOnLastRelease = true;
  TFlexibleInterfacedObject* FObject = nullptr;
};

class IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{00000000-0000-0000-C000-000000000046}");
  // S_OK with Obj set to an added reference of the interface AIID, else E_NOINTERFACE with Obj null.
  virtual HRESULT QueryInterface(const TGUID& AIID, void** Obj) = 0;
  // Both return the new count.
  virtual std::int32_t _AddRef() noexcept = 0;
  virtual std::int32_t _Release() noexcept = 0;
  // The object's count, which references keep so that they can be released after the object.
  virtual TReferenceCount* _ReferenceCount() noexcept = 0;

 protected:
  IInterface() = default;
  IInterface(const IInterface&) = default;
  IInterface& operator=(const IInterface&) = default;
  ~IInterface() = default;
};

// A counted reference to an interface: adds a reference when it takes a pointer, releases it when
// it lets go. It keeps the object's count beside the pointer, so that copying and releasing never
// touch the object itself.
template <class I>
class TInterfacePtr {
 public:
  TInterfacePtr() noexcept = default;
  TInterfacePtr(std::nullptr_t) noexcept {}
  // From any pointer that converts to I* (the null test comes first, so the conversion to a
  // virtual base needs no test of its own).
  template <class J>
    requires std::is_convertible_v<J*, I*>
  TInterfacePtr(J* p) noexcept {
    if (p) {
      FPtr = p;
      FCount = FPtr->_ReferenceCount();
      FCount->AddRef();
    }
  }
  TInterfacePtr(const TInterfacePtr& other) noexcept : FPtr(other.FPtr), FCount(other.FCount) {
    if (FCount) FCount->AddRef();
  }
  TInterfacePtr(TInterfacePtr&& other) noexcept
      : FPtr(std::exchange(other.FPtr, nullptr)), FCount(std::exchange(other.FCount, nullptr)) {}
  template <class J>
    requires std::is_convertible_v<J*, I*>
  TInterfacePtr(const TInterfacePtr<J>& other) noexcept : TInterfacePtr(other.Get()) {}
  template <class J>
    requires std::is_convertible_v<J*, I*>
  TInterfacePtr(TInterfacePtr<J>&& other) noexcept : TInterfacePtr(other.Get()) {
    other.Reset();
  }
  ~TInterfacePtr() { Reset(); }

  TInterfacePtr& operator=(TInterfacePtr other) noexcept {
    std::swap(FPtr, other.FPtr);
    std::swap(FCount, other.FCount);
    return *this;
  }

  // Takes over a reference that was already added (as QueryInterface gives it).
  static TInterfacePtr Attach(I* p) noexcept {
    TInterfacePtr result;
    if (p) {
      result.FPtr = p;
      result.FCount = p->_ReferenceCount();
    }
    return result;
  }
  // Gives up the reference without releasing it; the caller releases it with _Release.
  I* Detach() noexcept {
    FCount = nullptr;
    return std::exchange(FPtr, nullptr);
  }
  void Reset() noexcept {
    FPtr = nullptr;
    if (TReferenceCount* count = std::exchange(FCount, nullptr)) count->Release();
  }

  I* Get() const noexcept { return FPtr; }
  I* operator->() const noexcept { return FPtr; }
  I& operator*() const noexcept { return *FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }
  friend bool operator==(const TInterfacePtr& a, const TInterfacePtr& b) noexcept { return a.FPtr == b.FPtr; }
  friend bool operator==(const TInterfacePtr& a, std::nullptr_t) noexcept { return a.FPtr == nullptr; }

 private:
  I* FPtr = nullptr;
  TReferenceCount* FCount = nullptr;
};

// True when Instance implements I; Intf then holds it (else it is cleared).
template <class I>
bool Supports(IInterface* Instance, TInterfacePtr<I>& Intf) {
  void* obj = nullptr;
  if (Instance && Instance->QueryInterface(I::IID, &obj) == S_OK) {
    Intf = TInterfacePtr<I>::Attach(static_cast<I*>(obj));
    return true;
  }
  Intf.Reset();
  return false;
}
template <class I, class J>
bool Supports(const TInterfacePtr<J>& Instance, TInterfacePtr<I>& Intf) {
  return Supports<I>(static_cast<IInterface*>(Instance.Get()), Intf);
}

// An object that stores itself in a versioned block of a stream (TStreamHelper's
// SaveVersionedObject and LoadVersionedObject).
class IVersionedStreamPersist : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{5321FA2C-35C6-4890-B8AA-FCE020649FF9}");
  // The version that WriteToStream writes.
  virtual std::int32_t GetStreamVersion() = 0;
  virtual void WriteToStream(TStream& Stream) = 0;
  // Reads data written with Version; a newer version's extra data may be left unread.
  virtual void ReadFromStream(TStream& Stream, std::int32_t Version) = 0;

 protected:
  ~IVersionedStreamPersist() = default;
};

// --- scoped and shared ownership ---------------------------------------------------------------

// A scoped owner: the last reference to it frees the object it owns.
class IObjectDestroyer : public virtual IInterface {
 public:
  static constexpr TGUID IID = TGUID::FromString("{4DE81104-08B2-4821-960E-8935AC9B8F5E}");
  // The owned object (null when there is none); its type is the one the destroyer was created for.
  virtual void* GetObj() = 0;

 protected:
  ~IObjectDestroyer() = default;
};

// Frees an object the way its class is freed: flexible objects through Free, others with delete.
template <class T>
void FreeObject(T* AObject) {
  static_assert(sizeof(T) > 0, "FreeObject needs the complete type");
  if constexpr (std::is_base_of_v<TFlexibleInterfacedObject, T>) {
    if (AObject) AObject->Free();
  } else {
    delete AObject;
  }
}

// Creates a flexible object (see TFlexibleInterfacedObject); the only way to create one.
template <class T, class... Args>
T* NewObject(Args&&... args);

// The text form of an object: its own ToString() when its class has one, else its class name.
template <class T>
std::string ObjectToString(const T& AObject);

// The one shared function of the AutoDestroy convention: a new destroyer owning AObject.
template <class T>
TInterfacePtr<IObjectDestroyer> AutoDestroy(T* AObject);

// Deleter for std::unique_ptr owners of flexible objects.
struct TFreeObject {
  template <class T>
  void operator()(T* AObject) const {
    FreeObject(AObject);
  }
};

// --- flexible reference-counted objects --------------------------------------------------------
//
// NewObject puts the count and the state in a TReferenceCount in front of the object, in the same
// allocation, starting at 1 and brought down once after the last constructor, so references taken
// inside constructors never destroy the object. Owners free through Free() (plain delete is not
// available): a counted object still referenced raises EManualDestroyError and stays, a persistent
// one runs its destructor at once while its memory waits in the block for the last release (its
// references may then only be copied and released).

class TFlexibleInterfacedObject : public virtual IInterface {
 public:
  KV_DECLARE_EXCEPTION(EManualDestroyError, Exception);

  TFlexibleInterfacedObject(const TFlexibleInterfacedObject&) = delete;
  TFlexibleInterfacedObject& operator=(const TFlexibleInterfacedObject&) = delete;

  // Answers IInterface; classes that implement more interfaces override it (see GetInterface).
  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  std::int32_t _AddRef() noexcept final { return FCount->AddRef(); }
  std::int32_t _Release() noexcept final { return FCount->Release(); }
  TReferenceCount* _ReferenceCount() noexcept final { return FCount; }

  // The owner's destruction. A counted object that still has references raises
  // EManualDestroyError and stays (its last release will not destroy it; a later Free will).
  void Free();

  // True for counted objects, false for persistent ones; fixed by the class.
  bool DestroyOnLastRelease() const noexcept { return FCount->FDestroyOnLastRelease; }
  std::int32_t RefCount() const noexcept { return FCount->Count(); }
  TObjectState State() const noexcept { return FCount->State(); }

  TInterfacePtr<IObjectDestroyer> AutoDestroy();
  // The class name; subclasses give their own text.
  virtual std::string ToString() const;

 protected:
  TFlexibleInterfacedObject();
  virtual ~TFlexibleInterfacedObject();

  // Not for outside use: NewObject allocates, Free and the last release give the memory back.
  static void* operator new(std::size_t size) { return ::operator new(size); }
  static void operator delete(void* memory) noexcept { ::operator delete(memory); }

  // For QueryInterface overrides: answers the interfaces I... of self and adds the reference.
  //   HRESULT QueryInterface(const TGUID& AIID, void** Obj) override {
  //     if (GetInterface<IStorageEntry>(this, AIID, Obj)) return S_OK;
  //     return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
  //   }
  template <class... I, class Self>
  static bool GetInterface(Self* self, const TGUID& AIID, void** Obj) {
    return (GetOneInterface<I>(self, AIID, Obj) || ...);
  }

 private:
  friend class TFlexiblePersistInterfacedObject;
  friend class TReferenceCount;

  template <class I, class Self>
  static bool GetOneInterface(Self* self, const TGUID& AIID, void** Obj) {
    if (!(AIID == I::IID)) return false;
    I* intf = self;
    intf->_AddRef();
    *Obj = intf;
    return true;
  }

  struct TPersistentMode {};
  explicit TFlexibleInterfacedObject(TPersistentMode);

  // Runs the destructor chain, then gives the memory back or leaves it to the last release.
  void DestroyInstance() noexcept;

  TReferenceCount* const FCount;
};

// A flexible object whose lifetime belongs to its owner; references only keep its memory.
class TFlexiblePersistInterfacedObject : public TFlexibleInterfacedObject {
 protected:
  TFlexiblePersistInterfacedObject() : TFlexibleInterfacedObject(TPersistentMode{}) {}
};

namespace kv::detail {
// Hands the count block of the object that NewObject is constructing to its base constructor; a
// flexible object built any other way (on the stack, as a member, with new) finds none and fails.
class TConstructionScope {
 public:
  explicit TConstructionScope(TReferenceCount* count) noexcept;
  ~TConstructionScope();
  TConstructionScope(const TConstructionScope&) = delete;
  TConstructionScope& operator=(const TConstructionScope&) = delete;

 private:
  TReferenceCount* FSaved;
};

// Room for the count block in front of the object, keeping the object's alignment.
inline constexpr std::size_t kReferenceCountSpace =
    (sizeof(TReferenceCount) + __STDCPP_DEFAULT_NEW_ALIGNMENT__ - 1) / __STDCPP_DEFAULT_NEW_ALIGNMENT__ *
    __STDCPP_DEFAULT_NEW_ALIGNMENT__;
}  // namespace kv::detail

template <class T, class... Args>
T* NewObject(Args&&... args) {
  static_assert(std::is_base_of_v<TFlexibleInterfacedObject, T>, "NewObject creates flexible objects");
  static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__, "over-aligned flexible objects are not supported");
  void* memory = ::operator new(kv::detail::kReferenceCountSpace + sizeof(T));
  auto* count = ::new (memory) TReferenceCount();
  T* object;
  try {
    kv::detail::TConstructionScope scope(count);
    object = ::new (static_cast<char*>(memory) + kv::detail::kReferenceCountSpace) T(std::forward<Args>(args)...);
  } catch (...) {
    count->FreeMemory();
    throw;
  }
  count->AfterConstruction(object);
  return object;
}

// The destroyer class. Other code that needs an owner for some object creates one directly:
//   TInterfacePtr<IObjectDestroyer> owner = NewObject<TObjectDestroyer>(list);
class TObjectDestroyer : public TFlexibleInterfacedObject, public IObjectDestroyer {
 public:
  // Stores the object (may be null) and nothing else; the object is freed as a T.
  template <class T>
  explicit TObjectDestroyer(T* AObject) : FObject(AObject), FFree(&FreeAs<T>) {}

  HRESULT QueryInterface(const TGUID& AIID, void** Obj) override;
  void* GetObj() override { return FObject; }
  void* Obj() const noexcept { return FObject; }

 protected:
  // Frees the owned object. A counted flexible object that still has references cannot be freed
  // here: the release that runs this cannot raise, so that error ends the program.
  ~TObjectDestroyer() override;

 private:
  template <class T>
  friend class TSharedPtr;
  template <class T>
  static void FreeAs(void* AObject) {
    FreeObject(static_cast<T*>(AObject));
  }

  void* FObject;
  void (*FFree)(void*);
};

// The AutoDestroy method convention: a class carries
//   TInterfacePtr<IObjectDestroyer> AutoDestroy() { return ::AutoDestroy(this); }
// and the instance is freed (as that class, so classes with subclasses need a virtual destructor)
// when the returned reference and its copies are gone.
template <class T>
TInterfacePtr<IObjectDestroyer> AutoDestroy(T* AObject) {
  try {
    return TInterfacePtr<IObjectDestroyer>(NewObject<TObjectDestroyer>(AObject));
  } catch (...) {
    FreeObject(AObject);
    throw;
  }
}

// Shares one object between copies through one destroyer; the last copy to go frees the object.
template <class T>
class TSharedPtr {
 public:
  TSharedPtr() noexcept = default;
  TSharedPtr(std::nullptr_t) noexcept {}
  // Implicit, as a T converts to a shared pointer.
  TSharedPtr(T* AValue) {
    if (AValue) {
      try {
        FDestroyerObj = NewObject<TObjectDestroyer>(AValue);
      } catch (...) {
        FreeObject(AValue);
        throw;
      }
      FDestroyer = FDestroyerObj;
    }
  }
  static TSharedPtr Create(T* AValue) { return TSharedPtr(AValue); }
  static TSharedPtr Null() noexcept { return TSharedPtr(); }

  // The object; null for an empty pointer and after any copy was unwrapped.
  T* SharedObject() const { return FDestroyer ? static_cast<T*>(FDestroyer->GetObj()) : nullptr; }
  T* operator->() const { return SharedObject(); }
  T& operator*() const { return *SharedObject(); }
  explicit operator bool() const { return SharedObject() != nullptr; }

  // Returns the object and gives up ownership of it for every copy: the destroyer frees nothing.
  T* Unwrap() noexcept {
    if (!FDestroyer) return nullptr;
    T* object = static_cast<T*>(FDestroyerObj->FObject);
    FDestroyerObj->FObject = nullptr;
    FDestroyer.Reset();
    FDestroyerObj = nullptr;
    return object;
  }

  // "null", or the object's own text form.
  std::string ToString() const {
    T* object = SharedObject();
    return object ? ObjectToString(*object) : std::string("null");
  }

 private:
  TObjectDestroyer* FDestroyerObj = nullptr;  // reaches the destroyer's object for Unwrap
  TInterfacePtr<IObjectDestroyer> FDestroyer;  // keeps the destroyer, and so the object, alive
};

template <class T>
std::string ObjectToString(const T& AObject) {
  if constexpr (requires { { AObject.ToString() } -> std::convertible_to<std::string>; }) {
    return AObject.ToString();
  } else {
    return TypeName(typeid(AObject));
  }
}

// A key and a value, as dictionaries enumerate their entries.
template <class TKey, class TValue>
struct TPair {
  TKey Key{};
  TValue Value{};

  TPair() = default;
  TPair(TKey AKey, TValue AValue) : Key(std::move(AKey)), Value(std::move(AValue)) {}
  static TPair Create(TKey AKey, TValue AValue) { return TPair(std::move(AKey), std::move(AValue)); }

  friend bool operator==(const TPair&, const TPair&) = default;
};

// --- buffered stream ---------------------------------------------------------------------------

// A read-only stream over another stream: many small reads cost one large read of the underlying
// stream. The buffer is refilled only when a read starts outside it; seeks inside it keep it.
// Errors of the underlying stream pass through.
class TBufferedStream final : public TStream {
 public:
  static constexpr std::int32_t kDefaultBufferSize = 1048576;

  // The buffered stream frees AStream in its destructor when AOwnership is soOwned.
  TBufferedStream(TStream* AStream, TStreamOwnership AOwnership);
  // Opens the file as a TFileStream with the open mode, owned by the buffered stream.
  TBufferedStream(const std::string& AFileName, std::uint16_t Mode, std::int32_t ABuffSize = kDefaultBufferSize);
  ~TBufferedStream() override;

  std::int32_t Read(void* Buffer, std::int32_t Count) override;
  // Always raises EStreamError "Stream is read-only".
  std::int32_t Write(const void* Buffer, std::int32_t Count) override;
  // Moves the logical position only (the end is asked from the underlying stream); positions
  // beyond the end are allowed and read 0 bytes. A position outside the buffer drops it.
  std::int64_t Seek(std::int64_t Offset, TSeekOrigin Origin) override;

  void InvalidateBuffer() noexcept { FBuffLength = 0; }
  std::int32_t BufferSize() const noexcept { return FBuffSize; }
  // A size of 0 or less becomes 16384; a new size drops the buffer.
  void SetBufferSize(std::int32_t Value);

 private:
  std::int64_t BufferEnd() const noexcept { return FBuffStartPosition + FBuffLength - 1; }
  bool PositionInBuffer(std::int64_t P) const noexcept { return FBuffStartPosition <= P && P <= BufferEnd(); }
  std::int32_t ReadFromBuffer(std::uint8_t* Dest, std::int32_t Count);
  bool FillBuffer();
  std::int32_t ReadThroughBuffer(void* Buffer, std::int32_t Count);

  TStream* FStream;
  TStreamOwnership FOwnership;
  std::int64_t FPosition = 0;
  std::unique_ptr<std::uint8_t[]> FBuff;  // FBuffAllocated bytes, of which the first FBuffLength are valid
  std::int32_t FBuffAllocated = 0;
  std::int32_t FBuffLength = 0;
  std::int64_t FBuffStartPosition = 0;
  std::int32_t FBuffSize = 0;
};

namespace kv::detail {
// Copies of a record field's size without a call to memcpy: two overlapping fixed-size moves.
inline void CopySmall(std::uint8_t* dest, const std::uint8_t* src, std::int32_t count) noexcept {
  if (count >= 8 && count <= 16) {
    std::uint64_t head, tail;
    std::memcpy(&head, src, 8);
    std::memcpy(&tail, src + count - 8, 8);
    std::memcpy(dest, &head, 8);
    std::memcpy(dest + count - 8, &tail, 8);
  } else if (count >= 4 && count < 8) {
    std::uint32_t head, tail;
    std::memcpy(&head, src, 4);
    std::memcpy(&tail, src + count - 4, 4);
    std::memcpy(dest, &head, 4);
    std::memcpy(dest + count - 4, &tail, 4);
  } else if (count > 0 && count < 4) {
    dest[0] = src[0];
    if (count > 1) dest[1] = src[1];
    if (count > 2) dest[2] = src[2];
  } else {
    std::memcpy(dest, src, static_cast<std::size_t>(count));
  }
}
}  // namespace kv::detail

// A read that lies wholly inside the buffer is the common case; it is kept inline and short.
inline std::int32_t TBufferedStream::Read(void* Buffer, std::int32_t Count) {
  // A position before the buffer gives a huge unsigned offset, which the first test turns away;
  // the second never adds to it, so it cannot wrap round into the buffer.
  const auto offset = static_cast<std::uint64_t>(FPosition) - static_cast<std::uint64_t>(FBuffStartPosition);
  const auto length = static_cast<std::uint64_t>(FBuffLength);
  if (Count > 0 && offset < length && static_cast<std::uint64_t>(Count) <= length - offset) {
    kv::detail::CopySmall(static_cast<std::uint8_t*>(Buffer), FBuff.get() + offset, Count);
    FPosition += Count;
    return Count;
  }
  return ReadThroughBuffer(Buffer, Count);
}
