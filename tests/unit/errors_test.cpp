#include <gtest/gtest.h>

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

#include "base/errors.h"

TEST(ErrorMessage, FullStopOnlyAfterCharactersAboveFullStop)
{
    struct Case {
        const wchar_t* message;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {L"Hôte non trouvé", L"Hôte non trouvé."},
        {L"Erreur 42", L"Erreur 42."},
        {L"Chemin :", L"Chemin :."},
        {L"Vraiment ?", L"Vraiment ?."},
        {L"Déjà fini.", L"Déjà fini."},
        {L"Attention !", L"Attention !"},
        {L"(voir plus haut)", L"(voir plus haut)"},
        {L"un, deux,", L"un, deux,"},
        {L"trait -", L"trait -"},
        {L"blanc ", L"blanc "},
        {L"Erreur de socket n° 4\r\n", L"Erreur de socket n° 4\r\n"},
        {L"", L""},
        {L"/", L"/."}, // '/' follows '.' in the code table
    };
    for (const Case& c : cases) EXPECT_EQ(WithFullStop(c.message), c.shown) << c.message;
}

TEST(ErrorMessage, InnermostMessageOfAChain)
{
    struct Case {
        std::vector<std::wstring> chain;
        std::wstring chosen;
    };
    const Case cases[] = {
        {{L"seule"}, L"seule"},
        {{L"dehors", L"dedans"}, L"dedans"},
        {{L"dehors", L"", L"dedans"}, L"dedans"},
        {{L"dehors", L"milieu", L""}, L"dehors\r\nmilieu\r\n"}, // empty innermost: the whole chain
        {{L"", L"milieu", L""}, L"milieu\r\n"},                 // from the first non-empty one
        {{L""}, L""},
        {{}, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ChooseMessage(c.chain), c.chosen);
}

TEST(ErrorMessage, ChainOfRealNestedErrors)
{
    std::exception_ptr caught;
    try {
        try {
            throw LauncherError(L"Fichier introuvable");
        } catch (...) {
            std::throw_with_nested(LauncherError(L"Lecture des réglages impossible"));
        }
    } catch (...) {
        caught = std::current_exception();
    }
    const auto chain = MessageChain(caught);
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], L"Lecture des réglages impossible");
    EXPECT_EQ(WithFullStop(ChooseMessage(chain)), L"Fichier introuvable.");
}

TEST(ErrorMessage, ForeignErrorsStillHaveAMessage)
{
    const auto standard = MessageChain(std::make_exception_ptr(std::runtime_error("disk full")));
    EXPECT_EQ(standard, std::vector<std::wstring>{L"disk full"});
    const auto unknown = MessageChain(std::make_exception_ptr(42));
    ASSERT_EQ(unknown.size(), 1u);
    EXPECT_FALSE(unknown[0].empty());
}

TEST(ErrorMessage, StartupFailureNamesKindModuleAndAddress)
{
    EXPECT_EQ(StartupFailureText(L"Erreur", L"Lanceur_Tarvik.exe", 0x140001234ull, L"Impossible de lier le socket."),
              L"Exception Erreur dans le module Lanceur_Tarvik.exe en 0000000140001234.\r\n"
              L"Impossible de lier le socket.");
    EXPECT_EQ(StartupFailureText(L"Erreur", L"Lanceur_Tarvik.exe", 0, L"Pas assez de timers disponibles"),
              L"Exception Erreur dans le module Lanceur_Tarvik.exe en 0000000000000000.\r\n"
              L"Pas assez de timers disponibles.");
}

#ifdef _WIN32
TEST(ErrorMessage, ErrorRemembersWhereItWasThrown)
{
    try {
        throw LauncherError(L"x");
    } catch (const LauncherError& e) {
        HMODULE module = nullptr;
        ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                       static_cast<LPCWSTR>(e.Address()), &module));
        EXPECT_EQ(module, GetModuleHandleW(nullptr));
    }
}
#endif
