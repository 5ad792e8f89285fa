#pragma once
// Helpers of the installed-application classes: the install mode, machine-wide registry strings,
// a folder write probe, byte counts as Russian text and XML attributes as text.

#include <cstdint>
#include <string>
#include <string_view>

#include "Common.EnumInfo.h"

class TXMLNode;

// How the application is installed.
enum TPortableMode {
  pmNone = 0,    // the normal way: found through its uninstall registry entry
  pmRoot = 1,    // below a portable root that the embedding program set
  pmSwitch = 2,  // in the folder of the running program, which was started with the switch "portable"
};
KV_ENUM_INFO(TPortableMode, pmNone, pmRoot, pmSwitch);

// pmSwitch when the command line holds "-portable" or "/portable" (any letter case), else pmRoot
// when a portable root is set, else pmNone.
TPortableMode GetPortableMode();

// The process-wide portable root; empty unless an embedding program (or a test) sets it. A root
// that is set always ends with the separator, so that the application's relative path joins it.
std::string GetPortableRoot();
void SetPortableRoot(std::string_view Root);

// The string value Name of the key Key below HKEY_LOCAL_MACHINE; "" when the key or the value is
// missing. ERegistryException for a value that is not a string (or a malformed hive file).
std::string ReadLocalMachineString(const std::string& Key, const std::string& Name);

// True when a file can be created in Folder: the probe "CheckFolderWritePrivilege.bin" is created
// (truncating one already there) and deleted again. Every failure gives false.
bool CheckFolderWritePrivilege(const std::string& Folder);

// "1023 байт", "1 Кбайт", "1 Мбайт", "1 Гбайт", "2048 Тбайт": the size in the largest unit up to
// terabytes whose count is below 1024, rounded down.
std::string FormatByteSize(std::int64_t Size);

// The attribute's value ("" when Node is none or has no such attribute) with every line break,
// LF or CR LF, made CR LF.
std::string GetAttributeAsString(const TXMLNode& Node, std::string_view Name);
