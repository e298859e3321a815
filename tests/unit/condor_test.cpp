#include <gtest/gtest.h>

#include "simulator/condor.h"

TEST(Simulator, PointsOfContact)
{
    EXPECT_EQ(CondorExecutable(L"C:\\Condor3"), L"C:\\Condor3\\Condor.exe");
    EXPECT_EQ(CondorExecutable(L""), L"\\Condor.exe");
    EXPECT_EQ(CondorExecutable(L"C:\\"), L"C:\\\\Condor.exe");
    EXPECT_EQ(CondorCommandLine(L"C:\\Condor3", L"abc"), L"C:\\Condor3\\Condor.exe cndr3:abc");
    EXPECT_EQ(CondorCommandLine(L"C:\\Program Files\\Condor3", L""), L"C:\\Program Files\\Condor3\\Condor.exe cndr3:");
    EXPECT_EQ(CondorCommandLine(L"X:", L"a b\r\n"), L"X:\\Condor.exe cndr3:a b\r\n");
    EXPECT_EQ(CondorWindowTitle(L"3.0.4"), L"Condor version 3.0.4");
    EXPECT_EQ(CondorWindowTitle(L""), L"Condor version ");
}
