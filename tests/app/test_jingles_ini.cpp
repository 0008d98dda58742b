#include "ini_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

using tavrela::ini::readValue;

namespace {

struct IniCase {
    const char* name;
    std::string text;
    std::optional<std::string> expected;
};

std::string utf16le(const std::u16string& s) {
    std::string out = "\xFF\xFE";
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

TEST(JingleSettingsIni, FindsBancoCaminho) {
    const IniCase cases[] = {
        {"plain", "[BANCO]\nCAMINHO=/srv/z.fdb\n", "/srv/z.fdb"},
        {"crlf_windows_path_kept_raw",
         "[BANCO]\r\nCAMINHO=C:\\Zelvo\\Zelvo Play\\Zelvodb\\ZELVODB.FDB\r\n",
         "C:\\Zelvo\\Zelvo Play\\Zelvodb\\ZELVODB.FDB"},
        {"cr_only", "[BANCO]\rCAMINHO=a.fdb\rX=1", "a.fdb"},
        {"case_of_names_ignored", "[banco]\ncaminho=srv:/d.fdb", "srv:/d.fdb"},
        {"blanks_around_names_and_value", "  [ Banco ]  \n  Caminho \t=  host/3050:/a b.fdb  \n",
         "host/3050:/a b.fdb"},
        {"quoted_value", "[BANCO]\nCAMINHO=\"C:\\A B\\x.fdb\"\n", "C:\\A B\\x.fdb"},
        {"single_quoted_value", "[BANCO]\nCAMINHO='/a b.fdb'\n", "/a b.fdb"},
        {"unbalanced_quote_kept", "[BANCO]\nCAMINHO=\"/a.fdb'\n", "\"/a.fdb'"},
        {"equals_in_value", "[BANCO]\nCAMINHO=a=b\n", "a=b"},
        {"empty_value", "[BANCO]\nCAMINHO=\n", ""},
        {"first_of_two", "[BANCO]\nCAMINHO=one\nCAMINHO=two\n", "one"},
        {"key_of_other_section_ignored", "[OUTRO]\nCAMINHO=no\n[BANCO]\nCAMINHO=yes\n", "yes"},
        {"key_absent", "[BANCO]\nUSUARIO=x\n[OUTRO]\nCAMINHO=no\n", std::nullopt},
        {"section_absent", "CAMINHO=top\n[OUTRO]\nCAMINHO=no", std::nullopt},
        {"commented_key", "[BANCO]\n;CAMINHO=old\nCAMINHO=new\n", "new"},
        {"utf8_bom", "\xEF\xBB\xBF[BANCO]\nCAMINHO=/m\xC3\xA3o.fdb\n", "/m\xC3\xA3o.fdb"},
        {"ansi_bytes_kept", "[BANCO]\nCAMINHO=/m\xE3o.fdb\n", "/m\xE3o.fdb"},
        {"utf16le_bom", utf16le(u"[BANCO]\r\nCAMINHO=/m\u00e3o.fdb\r\n"), "/m\xC3\xA3o.fdb"},
        {"unclosed_section_header", "[BANCO\nCAMINHO=x", "x"},
        {"empty_text", "", std::nullopt},
        {"nul_and_odd_utf16", std::string("\xFF\xFE[\0", 4) + "\xD8", std::nullopt},
    };
    for (const IniCase& c : cases) {
        EXPECT_EQ(readValue(c.text, "BANCO", "CAMINHO"), c.expected) << c.name;
    }
}

} // namespace
