#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "base/unique.h"
#include "update/minisign.h"

// The running program's file version, from its own version record; none
// when it has none.
std::optional<FileVersion> RunningFileVersion();

// Opens the downloaded updater so that nobody can write, rename or delete
// it while the handle lives, and checks, on the bytes read through that
// handle, its detached minisign signature: made by the public key ("RW..."),
// valid over the file, with a trusted comment that vouches for a version
// above the running one. The held file when all of that holds; none when
// anything does not.
std::optional<UniqueFile> HoldSignedUpdater(const std::wstring& path, std::string_view signatureText,
                                            std::string_view publicKey, const std::optional<FileVersion>& running);
