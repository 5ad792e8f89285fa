#include "Common.OptionsStorage.h"

std::int32_t TFakeOptionsReader::ReadInteger(std::string_view, std::int32_t Default) const { return Default; }

std::string TFakeOptionsReader::ReadString(std::string_view, std::string_view Default) const {
  return std::string(Default);
}

bool TFakeOptionsReader::ReadBool(std::string_view, bool Default) const { return Default; }

double TFakeOptionsReader::ReadFloat(std::string_view, double Default) const { return Default; }

std::vector<std::string> TFakeOptionsReader::GetSubkeyNames() const { return {}; }

bool TFakeOptionsReader::ValueExists(std::string_view) const { return false; }

std::shared_ptr<IOptionsReader> TFakeOptionsReader::OpenSubkey(std::string_view) const {
  return std::make_shared<TFakeOptionsReader>();
}

bool TFakeOptionsReader::IsMissing() const { return true; }
