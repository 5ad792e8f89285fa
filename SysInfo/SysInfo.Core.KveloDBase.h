#pragma once
// The description of a normative-base file ("*.oxd5", its item "Info") and the lines that the
// client's diagnostic reports show for it.

#include <string>
#include <string_view>

#include "NBData.Region.Types.h"

// Reads the item "Info" of the base file APath into Info. A file without the item fails with
// EReadError (nothing to read); errors of opening or reading the file are EOXSimpleDBase64.
void ReadBaseInfo(const std::string& APath, TNB_InfoStruct& Info);

// The report lines of one base: "      - Путь: APath", then on lines of their own, each
// "        - Name: value", the name, version, code, creation date, publisher, type and district.
// Raises what ReadBaseInfo raises.
std::string BaseDescription(const std::string& APath);
// The same two-level form for a base that could not be read: its path and "Ошибка чтения: "
// with Message.
std::string BaseReadErrorDescription(const std::string& APath, std::string_view Message);

// S as Windows-1251 text that went through the system's ANSI code page: names in base files are
// Windows-1251 whatever the system. Unchanged where the ANSI code page is 1251.
std::string RecodeAs1251(const std::string& S);
