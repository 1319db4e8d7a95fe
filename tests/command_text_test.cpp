#include "platform/command_text.h"

#include <gtest/gtest.h>

namespace modVantrel {
namespace {

struct ArgumentCase {
    const wchar_t* commandLine;
    const wchar_t* arguments;
};

TEST(ArgumentTextTest, SkipsOnlyTheProgramsOwnName) {
    const ArgumentCase cases[] = {
        {L"", L""},
        {L"vantrel.exe", L""},
        {L"vantrel.exe   ", L""},
        {L"vantrel.exe /p:3 x.exe", L"/p:3 x.exe"},
        {L"vantrel.exe   a  b ", L"a  b "},
        {L"vantrel.exe\t/p:1", L"/p:1"},
        {L"vantrel.exe \"a b\"", L"\"a b\""},
        {L"\"c:\\program files\\vantrel.exe\" /w", L"/w"},
        {L"\"c:\\a b\\vantrel.exe\"/w", L"/w"},
        {L"\"c:\\a b\\vantrel.exe", L""},
        {L"\"\" x", L"x"},
    };
    for (const ArgumentCase& c : cases) {
        EXPECT_EQ(ArgumentText(c.commandLine), c.arguments)
            << ::testing::PrintToString(std::wstring(c.commandLine));
    }
}

}  // namespace
}  // namespace modVantrel
