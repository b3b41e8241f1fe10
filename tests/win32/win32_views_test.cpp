// The Windows views' own rules: the command line, the registry profile, the dump's text and
// the etched check boxes. Run under Wine with the presenter tests.
#include <windows.h>

#include <gtest/gtest.h>

#include "win32/command_line.h"
#include "win32/data_exchange.h"
#include "win32/etched.h"
#include "win32/form_host.h"
#include "win32/registry_profile.h"
#include "win32/split_form.h"
#include "win32/window_dump.h"

namespace kavendrum::win32 {
namespace {

TEST(StartArgumentsTest, TheArgumentIsKeptAsGivenQuotesAndAll) {
    EXPECT_EQ(ParseStartArguments("kavendrum.exe D:\\x.kdh").startArgument, "D:\\x.kdh");
    EXPECT_EQ(ParseStartArguments("\"C:\\Program Files\\k\\kavendrum.exe\" \"D:\\my x.kdh\"")
                  .startArgument,
              "\"D:\\my x.kdh\"");
    EXPECT_EQ(ParseStartArguments("kavendrum.exe").startArgument, "");
    EXPECT_EQ(ParseStartArguments("kavendrum.exe    a b ").startArgument, "a b ");
}

TEST(StartArgumentsTest, TheDumpSwitchComesOffTheFrontOnly) {
    StartArguments both =
        ParseStartArguments("kavendrum.exe --dump-window \"Z:\\tmp\\d 1.json\" D:\\x.kdh");
    EXPECT_EQ(both.dumpPath, "Z:\\tmp\\d 1.json");
    EXPECT_EQ(both.startArgument, "D:\\x.kdh");
    // Anywhere else it is the start argument, as any other text would be.
    StartArguments late = ParseStartArguments("kavendrum.exe D:\\x.kdh --dump-window d.json");
    EXPECT_EQ(late.dumpPath, "");
    EXPECT_EQ(late.startArgument, "D:\\x.kdh --dump-window d.json");
    // A longer word that starts like the switch is no switch.
    EXPECT_EQ(ParseStartArguments("k.exe --dump-windows x").startArgument, "--dump-windows x");
}

TEST(RegistryProfileTest, SectionAndNameMakeKeyAndValue) {
    const RegistryPlace place = PlaceOf("DragWindow/Left");
    EXPECT_EQ(place.subKey, "Software\\Kavendrum\\Kavendrum\\DragWindow");
    EXPECT_EQ(place.valueName, "Left");
    EXPECT_EQ(PlaceOf("Split/WriteChecksums").subKey, "Software\\Kavendrum\\Kavendrum\\Split");
}

TEST(RegistryProfileTest, ValuesRoundTripAndStrangersFallBack) {
    RegistryProfile profile;
    profile.WriteInt("Kavendrum Test/Number", -7);
    EXPECT_EQ(profile.ReadInt("Kavendrum Test/Number", 3), -7);
    EXPECT_EQ(profile.ReadInt("Kavendrum Test/Missing", 392), 392);
    // A value of another type, as anyone may leave there, is not taken for a number.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kavendrum\\Kavendrum\\Kavendrum Test",
                              0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("12"), 3);
    RegCloseKey(key);
    EXPECT_EQ(profile.ReadInt("Kavendrum Test/Text", 284), 284);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Kavendrum\\Kavendrum\\Kavendrum Test");
}

TEST(WindowDumpTest, TextsAreEscapedIntoPlainAscii) {
    EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(JsonString("line\r\nnext"), "\"line\\u000d\\u000anext\"");
    EXPECT_EQ(JsonString("\xb4\xed"), "\"\\u00b4\\u00ed\"");
    // Letters beyond one byte, in the programs' code page UTF-8: one escape per UTF-16 unit.
    EXPECT_EQ(JsonString("\xE6\x98\xA0 \xCF\x84\xF0\x9F\x8E\xAC"),
              "\"\\u6620 \\u03c4\\ud83c\\udfac\"");
}

TEST(OpenFileFilterTest, ThePatternComesFromTheParentheses) {
    EXPECT_EQ(OpenFileFilter("Kavendrum Head File(*.kdh)"),
              std::string("Kavendrum Head File(*.kdh)\0*.kdh\0\0", 34));
    EXPECT_EQ(OpenFileFilter("Anything"), std::string("Anything\0*.*\0\0", 14));
    EXPECT_EQ(OpenFileFilter(""), "");
}

TEST(RecoveryPiecesFieldTest, CountsReadAsTheSpinBoxShowsThem) {
    EXPECT_EQ(RecoveryPiecesOf("none"), 0);
    EXPECT_EQ(RecoveryPiecesOf(""), 0);
    EXPECT_EQ(RecoveryPiecesOf(" 3 "), 3);
    EXPECT_EQ(RecoveryPiecesOf("012"), 12);
    // Whatever is typed by hand that is no count is none, never a guess.
    EXPECT_EQ(RecoveryPiecesOf("-2"), 0);
    EXPECT_EQ(RecoveryPiecesOf("3x"), 0);
    EXPECT_EQ(RecoveryPiecesOf("1 2"), 0);
    // A long number stops at the largest count instead of wrapping round.
    EXPECT_EQ(RecoveryPiecesOf("99999999999999999999"), kMostRecoveryPieces);
    EXPECT_EQ(RecoveryPiecesText(0), "none");
    EXPECT_EQ(RecoveryPiecesText(-4), "none");
    EXPECT_EQ(RecoveryPiecesText(7), "7");
    EXPECT_EQ(RecoveryPiecesText(5000), "999");
    EXPECT_EQ(RecoveryPiecesOf(RecoveryPiecesText(42)), 42);
}

class WindowTest : public ::testing::Test {
  protected:
    HWND MakeButton(DWORD style) {
        HWND button = CreateWindowExA(0, "Button", "x", WS_CHILD | style, 0, 0, 50, 10, m_parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(++m_nextId)),
                                      GetModuleHandleA(nullptr), nullptr);
        EXPECT_NE(button, nullptr);
        return button;
    }
    void SetUp() override {
        // Never shown; the controls still need a screen, so these run with the window tests.
        m_parent = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
    }
    void TearDown() override { DestroyWindow(m_parent); }

    HWND m_parent = nullptr;
    int m_nextId = 1000;
};

TEST_F(WindowTest, AnEtchedCheckBoxTurnsOverOnEachClick) {
    EtchedControls etched;
    HWND box = MakeButton(BS_CHECKBOX);
    etched.AttachCheckBox(box, "Delete original file after splitting");
    EXPECT_EQ(GetWindowLongA(box, GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
    EXPECT_EQ(etched.State(box), 0);
    EXPECT_TRUE(etched.Toggle(box));
    EXPECT_EQ(etched.State(box), 1);
    EXPECT_TRUE(etched.Toggle(box));
    EXPECT_EQ(etched.State(box), 0);
    // A stored value other than 0 and 1 counts as checked and becomes 0 at the first click.
    etched.SetState(box, 5);
    EXPECT_TRUE(etched.Checked(box));
    etched.Toggle(box);
    EXPECT_EQ(etched.State(box), 0);
    // A push button of the same form is no check box.
    HWND button = MakeButton(BS_PUSHBUTTON);
    etched.AttachButton(button, "Start");
    EXPECT_FALSE(etched.Toggle(button));
}

TEST_F(WindowTest, RadioIndexesCountOnlyTheirGroup) {
    HWND first = MakeButton(BS_AUTORADIOBUTTON | WS_GROUP);
    MakeButton(BS_AUTORADIOBUTTON);
    HWND next = MakeButton(BS_AUTORADIOBUTTON | WS_GROUP);
    DataExchange exchange(m_parent);
    const int firstId = GetDlgCtrlID(first);
    EXPECT_EQ(exchange.Radio(firstId), -1);
    exchange.WriteRadio(firstId, 1);
    EXPECT_EQ(exchange.Radio(firstId), 1);
    // The next group's button is not counted, nor touched.
    SendMessageA(next, BM_SETCHECK, BST_CHECKED, 0);
    exchange.WriteRadio(firstId, 0);
    EXPECT_EQ(exchange.Radio(firstId), 0);
    EXPECT_EQ(SendMessageA(next, BM_GETCHECK, 0, 0), BST_CHECKED);
    // An index out of the group unchecks all, as a stored value 5 shows neither.
    exchange.WriteRadio(firstId, 5);
    EXPECT_EQ(exchange.Radio(firstId), -1);
}

}  // namespace
}  // namespace kavendrum::win32
