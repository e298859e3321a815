// How long the launcher takes to check a signed updater: the signature read
// from the held file, as the update does it, for each kind of signature.
// Usage: bench_verify <updater> <prehashed .minisig> <legacy .minisig> <public key> <runs>
// Prints "<kind>_ms=<median>" and "<kind>_min_ms=<fastest>" per kind.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "update/signature_check.h"

namespace {

std::string ReadText(const wchar_t* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text; ++text) narrow.push_back(static_cast<char>(*text));
    return narrow;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: bench_verify <updater> <prehashed.minisig> <legacy.minisig> <key> <runs>\n");
        return 2;
    }
    const std::string key = Narrow(argv[4]);
    const int runs = std::max(1, _wtoi(argv[5]));
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    const struct {
        const char* kind;
        const wchar_t* signature;
    } kinds[] = {{"prehashed", argv[2]}, {"legacy", argv[3]}};
    for (const auto& kind : kinds) {
        const std::string signature = ReadText(kind.signature);
        std::vector<double> times;
        for (int i = 0; i < runs; ++i) {
            LARGE_INTEGER start, end;
            ::QueryPerformanceCounter(&start);
            const bool held = HoldSignedUpdater(argv[1], signature, key, FileVersion{{2, 0, 0, 0}}).has_value();
            ::QueryPerformanceCounter(&end);
            if (!held) {
                std::fprintf(stderr, "bench_verify: the %s signature was refused\n", kind.kind);
                return 1;
            }
            times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                            static_cast<double>(frequency.QuadPart));
        }
        std::sort(times.begin(), times.end());
        std::printf("%s_ms=%.2f\n%s_min_ms=%.2f\n", kind.kind, times[times.size() / 2], kind.kind, times.front());
    }
    return 0;
}
