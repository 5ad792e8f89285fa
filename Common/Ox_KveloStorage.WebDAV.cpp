#include "Ox_KveloStorage.WebDAV.h"

#include "Common.Net.WebDAV.h"
#include "Common.Net.WinInet.h"
#include "Common.XMLUtils.h"
#include "Ox.Types.h"
#include "Runtime.Strings.h"
#include "platform/AssociatedApplication.h"
#include "platform/FileAttributes.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

// --- TWebDAVReadOnlyKveloStorage ---------------------------------------------------------------

const TKveloStorage::TMetaClass& TWebDAVReadOnlyKveloStorage::MetaClass() {
  static const TKveloStorageMetaClassOf<TWebDAVReadOnlyKveloStorage> metaClass;
  return metaClass;
}

TWebDAVReadOnlyKveloStorage::TWebDAVReadOnlyKveloStorage(TConnection& AConnection)
    : TWebDAVReadOnlyKveloStorage(AConnection, MetaClass()) {}

TWebDAVReadOnlyKveloStorage::TWebDAVReadOnlyKveloStorage(TConnection& AConnection, const TMetaClass& AClass)
    : TKveloStorageOf(AConnection, AClass) {
  FRoot = NewObject<TFolder>(*this, AConnection.Address());
}

std::int32_t TWebDAVReadOnlyKveloStorage::GetImageIndex(std::int32_t Size) {
  switch (Size) {
    case 0: return 18;
    case 1: return 15;
    case 2: return 2;
    default: return -1;
  }
}

std::string TWebDAVReadOnlyKveloStorage::AbsoluteUrl(const std::string& Href) const {
  if (StartsStr("http://", LowerCase(Href.substr(0, 7)))) return Href;
  const TUri address(TKveloStorage::Connection().Address());
  std::string prefix = address.ProtocolOrDefault("http") + "://" + LowerCase(address.Host());
  if (address.Port() != 0) prefix += ":" + IntToStr(address.Port());
  return ConcatWithDelimiter(prefix, Href, '/');
}

// --- entries ----------------------------------------------------------------------------------

using TEntry = TWebDAVReadOnlyKveloStorage::TEntry;
using TFolder = TWebDAVReadOnlyKveloStorage::TFolder;
using TDocument = TWebDAVReadOnlyKveloStorage::TDocument;
using TExternalDocument = TWebDAVReadOnlyKveloStorage::TExternalDocument;

TEntry::TEntry(TWebDAVReadOnlyKveloStorage& AStorage, const TPropFindEntry& APropFindEntry)
    : FDescription(APropFindEntry.EntryName()),
      FUrl(AStorage.AbsoluteUrl(APropFindEntry.Url())),
      FStorage(AStorage),
      FDateCreate(APropFindEntry.ChangeDate()),
      FDateChange(APropFindEntry.ChangeDate()) {}

TEntry::TEntry(TWebDAVReadOnlyKveloStorage& AStorage, std::string AUrl) : FUrl(std::move(AUrl)), FStorage(AStorage) {}

HRESULT TEntry::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageEntry>(this, AIID, Obj)) return S_OK;
  return TFlexibleInterfacedObject::QueryInterface(AIID, Obj);
}

void TEntry::RaiseReadOnly() const { throw EKveloStorageError::ItemIsReadOnly(FDescription); }
void TEntry::SetDescription(const std::string& /*Value*/) { RaiseReadOnly(); }
void TEntry::Delete() { RaiseReadOnly(); }
void TEntry::MoveTo(const TInterfacePtr<IKveloStorageFolder>& /*ATarget*/) { RaiseReadOnly(); }

// --- TFolder ----------------------------------------------------------------------------------

HRESULT TFolder::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageFolder>(this, AIID, Obj)) return S_OK;
  return TEntry::QueryInterface(AIID, Obj);
}

void TFolder::SetProperties(const TFolderProperties& /*Value*/) { RaiseReadOnly(); }
TInterfacePtr<IKveloStorageFolder> TFolder::CreateFolder(const std::string& /*ADescription*/) { RaiseReadOnly(); }
TInterfacePtr<IKveloStorageDocument> TFolder::CreateDocument(const std::string& /*ADescription*/,
                                                             const TOxDocCommonProperties& /*AProperties*/,
                                                             TStream& /*AData*/) {
  RaiseReadOnly();
}
TInterfacePtr<IKveloStorageExternalDocument> TFolder::CreateExternalDocument(const std::string& /*ADescription*/,
                                                                             TStream& /*AData*/) {
  RaiseReadOnly();
}

TInterfacePtr<IKveloStorageEntry> TFolder::FindEntry(const std::string& /*AShortPath*/) {
  ASSERT(false, "TFolder.FindEntry не реализовано");
  return nullptr;
}

namespace {
// The listing's failure, told with the folder it was about; the exception keeps its class.
std::string ReadableUrl(const std::string& Url) {
  try {
    return UrlDecode(Url);
  } catch (const EConvertError&) {
    return Url;  // a stray "%" must not hide the listing's own failure
  }
}

template <class E>
[[noreturn]] void RethrowWithFolder(E& Error, const std::string& Url) {
  Error.SetMessage("Ошибка получении дочерних элементов по ссылке\r\n" + ReadableUrl(Url) +
                   "\r\nТекст ошибки: " + Error.Message());
  throw;
}

bool SameUrlApartFromTrailingSlash(const std::string& A, const std::string& B) {
  return TStringUtils::DropLastChar(A, U'/') == TStringUtils::DropLastChar(B, U'/');
}
}  // namespace

TKveloStorageEntries TFolder::LoadChildItems() {
  TSharedPtr<TPropFind> listing;
  try {
    listing = RequestPropFind(FUrl);
  } catch (EHttpStatusException& e) {
    RethrowWithFolder(e, FUrl);
  } catch (EWinInetException& e) {
    RethrowWithFolder(e, FUrl);
  }
  TKveloStorageEntries result;
  result.reserve(listing->Entries().size());
  for (const auto& entry : listing->Entries()) {
    if (SameUrlApartFromTrailingSlash(FStorage.AbsoluteUrl(entry->Url()), FUrl)) continue;
    if (entry->IsContainer()) {
      result.emplace_back(NewObject<TFolder>(FStorage, *entry));
    } else if (const TNullable<TKveloDocumentType> docType = TDocument::GetDocType(*entry); docType.HasValue()) {
      result.emplace_back(NewObject<TDocument>(FStorage, *entry, docType.ValueOrDefault()));
    } else {
      result.emplace_back(NewObject<TExternalDocument>(FStorage, *entry));
    }
  }
  return result;
}

// --- TDocument --------------------------------------------------------------------------------

TDocument::TDocument(TWebDAVReadOnlyKveloStorage& AStorage, const TPropFindEntry& APropFindEntry,
                     TKveloDocumentType ADocType)
    : TEntry(AStorage, APropFindEntry), FDocType(ADocType) {
  ASSERT(!APropFindEntry.IsContainer());
}

TNullable<TKveloDocumentType> TDocument::GetDocType(const TPropFindEntry& APropFindEntry) {
  static const std::string namespaces =
      "xmlns:d=\"DAV:\" xmlns:kvelo=\"" + std::string(EstimateNamespaceUri) + "\"";
  const TXMLNode node = SelectNode(APropFindEntry.XML(), "d:propstat/d:prop/kvelo:KveloDocType", namespaces);
  return TEnum::FromInteger<TKveloDocumentType>(StrToIntDef(GetNodeText(node, ""), -1));
}

HRESULT TDocument::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageDocument>(this, AIID, Obj)) return S_OK;
  return TEntry::QueryInterface(AIID, Obj);
}

TInterfacePtr<IKveloStorageOpenedDocument> TDocument::OpenAndLockData(TStream& AData) {
  try {
    TWinInetWebClient().DownloadData(FUrl, AData);
  } catch (const EHttpStatusException& e) {
    if (e.StatusCode == 404) throw EKveloStorageError::ItemNotFound(FDescription);
    throw;
  }
  return NewObject<TKveloStorageReadOnlyOpenedDocument>(TInterfacePtr<IKveloStorageDocument>(this), "");
}

void TDocument::ReadData(TStream& AData) { TWinInetWebClient().DownloadData(FUrl, AData); }

// --- TExternalDocument ------------------------------------------------------------------------

HRESULT TExternalDocument::QueryInterface(const TGUID& AIID, void** Obj) {
  if (GetInterface<IKveloStorageExternalDocument>(this, AIID, Obj)) return S_OK;
  return TEntry::QueryInterface(AIID, Obj);
}

void TExternalDocument::ReadData(TStream& AData) { TWinInetWebClient().DownloadData(FUrl, AData); }

std::string TExternalDocument::LocalFileName(const std::string& ADescription) {
  // The name comes from the server ("%2F" decodes to "/"): it must not lead out of the folder.
  std::string name;
  for (char c : ADescription)
    if (c != '/' && c != '\\' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) name += c;
  while (name.find("..") != std::string::npos) name = FastStringReplace(name, "..", "", {rfReplaceAll});
  return name.empty() || name == "." ? "document" : name;
}

void TExternalDocument::Edit() {
  const std::string target = ConcatWithDelimiter(GetTempDirectory(), LocalFileName(FDescription), PathDelim);
  // Downloaded beside the old copy and renamed over it: a failed download leaves the old copy.
  const std::string partial = target + "." + NewGUIDString(false) + ".part";
  try {
    {
      TFileStream file(partial, fmCreate);
      TWinInetWebClient().DownloadData(FUrl, file);
    }
    if (!platform::RenameFile(partial, target)) platform::RaiseLastOSError(target);
  } catch (...) {
    platform::DeleteFile(partial);
    throw;
  }
  platform::SetFileReadOnly(target, true);
  // As the desktop's own "open" does, the opener's fate is not ours to report.
  platform::OpenWithAssociatedApplication(target);
}

// --- TOrvelKveloRuKveloStorage ----------------------------------------------------------------

const TKveloStorage::TMetaClass& TOrvelKveloRuKveloStorage::MetaClass() {
  static const TKveloStorageMetaClassOf<TOrvelKveloRuKveloStorage> metaClass;
  return metaClass;
}

TOrvelKveloRuKveloStorage::TOrvelKveloRuKveloStorage(::TConnection& AConnection)
    : TWebDAVReadOnlyKveloStorage(AConnection, MetaClass()) {}
