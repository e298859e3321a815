#include "liveness.h"

#include <cstddef>

namespace tarvik::status {
namespace {

std::string_view NextField(std::string_view& line) {
  std::size_t start = 0;
  while (start < line.size() && (line[start] == ' ' || line[start] == '\t'))
    ++start;
  std::size_t end = start;
  while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
  const std::string_view field = line.substr(start, end - start);
  line.remove_prefix(end);
  return field;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace

bool ProcNetUdpHasLocalPort(std::string_view table, std::uint16_t port) {
  bool header = true;
  while (!table.empty()) {
    const std::size_t end = table.find('\n');
    std::string_view line = table.substr(0, end);
    table = end == std::string_view::npos ? std::string_view{}
                                          : table.substr(end + 1);
    if (header) {
      header = false;
      continue;
    }
    NextField(line);  // "7:"
    const std::string_view local = NextField(line);
    const std::size_t colon = local.rfind(':');
    if (colon == std::string_view::npos || local.size() - colon != 5) continue;
    unsigned value = 0;
    bool valid = true;
    for (char c : local.substr(colon + 1)) {
      const int digit = HexDigit(c);
      valid = valid && digit >= 0;
      value = value * 16 + static_cast<unsigned>(digit < 0 ? 0 : digit);
    }
    if (valid && value == port) return true;
  }
  return false;
}

bool LinuxProcessMatches(std::string_view wanted, std::string_view comm,
                         std::string_view cmdline) {
  if (!comm.empty() && comm.back() == '\n') comm.remove_suffix(1);
  if (wanted == comm) return true;
  std::string_view first = cmdline.substr(0, cmdline.find('\0'));
  const std::size_t slash = first.rfind('/');
  if (slash != std::string_view::npos) first.remove_prefix(slash + 1);
  return wanted == first;
}

bool WindowsProcessMatches(std::string_view wanted, std::string_view exe_name) {
  if (EqualNoCase(wanted, exe_name)) return true;
  constexpr std::string_view kExe = ".exe";
  return exe_name.size() == wanted.size() + kExe.size() &&
         EqualNoCase(exe_name.substr(wanted.size()), kExe) &&
         EqualNoCase(exe_name.substr(0, wanted.size()), wanted);
}

}  // namespace tarvik::status
