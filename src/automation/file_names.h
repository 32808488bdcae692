// Rules for names the driver puts into paths: a folder name made from an identifier the
// host chose, and the device names Windows reserves. Pure text, no file is looked at.
#pragma once

#include <string>
#include <string_view>

namespace eqd {

// A folder name made from an identifier (the device identifier, for example) that can
// only name a folder directly below its parent on either platform: every character
// other than an ASCII letter, a digit, '-' and '_' becomes '_' (each byte of a non-ASCII
// character too), the name is cut to 64 characters, and a name that Windows reserves for
// a device gets a '_' appended. The empty identifier gives the empty name.
std::string FolderNameFromIdentifier(std::string_view Identifier);

// Whether Windows takes this file name for a device, with or without an extension:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9, the superscript digits ¹ ² ³
// after COM and LPT included, in any case of the ASCII letters, blanks before the
// extension ignored. The name is UTF-8.
bool IsReservedDeviceName(std::string_view Name);

}  // namespace eqd
