#pragma once
#include <windows.h>

#include <cstdint>

// Constants of the status poll.
inline constexpr UINT kPollPeriodMs = 3000;
inline constexpr std::uint16_t kStatusPort = 56284;
inline constexpr int kReplyWaitMs = 500;
inline constexpr wchar_t kPollRequest[] = L"TPv2.0";
inline constexpr wchar_t kOnlineText[] = L"Serveur en ligne";
inline constexpr wchar_t kOfflineText[] = L"Serveur hors ligne";
inline constexpr wchar_t kAlertSound[] = L"alerte.wav";
inline constexpr DWORD kAlertPauseMs = 3500;
