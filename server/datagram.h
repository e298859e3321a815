#pragma once
#include <string>
#include <string_view>

#include "base/launcher_state.h"

// The status server's wire format: one request datagram, one reply datagram,
// both bare 7-bit text with no length, terminator or line end.

// "TPv2.0" -> 54 50 76 32 2E 30; a character beyond U+007F becomes '?'.
std::string EncodeRequest(std::wstring_view request);

// Byte for byte; 0x80..0xFF become U+FFFD; nothing trimmed.
std::wstring DecodeReply(std::string_view reply);

// "SP3.0.4" -> command "SP", argument "3.0.4"; "S" -> "S", "".
Reply SplitReply(std::wstring_view reply);

// "Erreur de socket n° 11001\r\nHôte non trouvé."; an unknown code leaves
// the second line empty.
std::wstring SocketErrorText(int code);
