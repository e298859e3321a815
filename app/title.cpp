#include "app/title.h"

#include <windows.h>

std::wstring ApplicationTitle(std::wstring_view modulePath)
{
    auto name = modulePath.substr(modulePath.find_last_of(L'\\') + 1);
    name = name.substr(0, name.find(L'.'));
    std::wstring title(name);
    if (title.size() > 1) {
        // The platform's case mapping, so that accented letters follow too.
        std::wstring rest = title.substr(1);
        int length = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, rest.c_str(),
                                     static_cast<int>(rest.size()), rest.data(),
                                     static_cast<int>(rest.size()), nullptr, nullptr, 0);
        if (length > 0) title.replace(1, rest.size(), rest.c_str(), static_cast<size_t>(length));
    }
    return title;
}
