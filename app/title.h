#pragma once
#include <string>
#include <string_view>

// The application title from the executable's path:
// "C:\Jeux\Lanceur_Tarvik.exe" -> "Lanceur_tarvik", "MON.LANCEUR.EXE" -> "Mon".
std::wstring ApplicationTitle(std::wstring_view modulePath);
