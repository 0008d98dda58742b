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

#include "jingle_settings.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

// The pre-roll of "Tocar final" from the settings file, under the file's own rules.
TEST(EditorSettingsIni, FinalPrerollSeconds) {
    struct Case {
        const char* name;
        std::optional<std::string> text; // nothing: no settings file
        double expected;
    };
    const Case cases[] = {
        {"no_file", std::nullopt, 5.0},
        {"no_key", "[BANCO]\r\nCAMINHO=x.fdb\r\n", 5.0},
        {"whole_seconds", "[BANCO]\r\nCAMINHO=x\r\n[TAVRELA]\r\nTOCAR_FINAL_SEGUNDOS=8\r\n", 8.0},
        {"decimal_point_and_case", "[tavrela]\ntocar_final_segundos = 2.5\n", 2.5},
        {"decimal_comma_quoted", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=\"3,5\"\n", 3.5},
        {"zero_is_not_a_preroll", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=0\n", 5.0},
        {"negative", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=-3\n", 5.0},
        {"not_a_number", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=cinco\n", 5.0},
        {"not_finite", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=inf\n", 5.0},
        {"held_at_a_minute", "[TAVRELA]\nTOCAR_FINAL_SEGUNDOS=600\n", 60.0},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("BaseZelvo.ini"));
        if (c.text) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(c.text->data(), static_cast<qint64>(c.text->size()));
        }
        EXPECT_EQ(tavrela::readFinalPrerollSetting(path, 5.0), c.expected) << c.name;
    }
}

} // namespace
