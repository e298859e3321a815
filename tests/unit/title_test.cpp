#include <gtest/gtest.h>

#include "app/title.h"

TEST(ApplicationTitle, FollowsTheExecutablesName)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* title;
    };
    const Case cases[] = {
        {L"C:\\Jeux\\Lanceur_Tarvik.exe", L"Lanceur_tarvik"},
        {L"C:\\Jeux\\MON.LANCEUR.EXE", L"Mon"},              // cut at the first full stop
        {L"D:\\Outils\\SANSPOINT", L"Sanspoint"},            // no full stop: whole name
        {L"Lanceur_Tarvik.exe", L"Lanceur_tarvik"},          // no folder at all
        {L"C:\\a.b\\lanceur.exe", L"lanceur"},               // full stops of folders do not count
        {L"C:\\Jeux\\ÉCOLE.EXE", L"École"},                  // accented letters follow the case rule
        {L"C:\\Jeux\\x", L"x"},
        {L"C:\\Jeux\\.exe", L""},
    };
    for (const Case& c : cases) EXPECT_EQ(ApplicationTitle(c.path), c.title) << c.path;
}
